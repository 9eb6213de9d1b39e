// What the forms tests share: a program folder of their own and one contacts window
// over it, loaded, with its fake view.
#pragma once

#include "tests/support/FaultyFileSystem.h"
#include "tests/forms/FakeViews.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VersionTexts.h"
#include "contacts/ContactFile.h"
#include "forms/HandOver.h"
#include "platform/Launcher.h"
#include "platform/SysInfo.h"
#include "platform/SystemFileSystem.h"
#include "platform/TableRegistry.h"
#include "version/Version.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

using contacts::Persona;
namespace fs = std::filesystem;

namespace {

const Persona kZapata{"Zapata", "Pedro", "Calle Mayor 1", "600111222", "pz@correo.es"};
const Persona kGomez{"Gómez", "Ana", "Plaza Sol 3", "600333444", "ag@correo.es"};
const Persona kAbril{"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"};

// A program folder of its own, removed afterwards.
class Folder : public testfiles::TempFolder {
public:
    ~Folder()
    {
        std::error_code ignored;
        fs::permissions(data(), fs::perms::owner_all, ignored);
    }

    fs::path data() const { return path() / contacts::kDataFileName; }
    bool hasData() const { return fs::exists(data()); }
    std::string read() const { return readBytes(data()); }
    void write(const std::string &bytes) const { writeBytes(data(), bytes); }
};

// One contacts window over a folder, loaded. It keeps the files that wait for the
// window's import as the program does, and hands them back, in turn, once the window
// says it is idle; given a `queue`, it uses that one instead, as the program's window
// uses the program's.
struct Window : forms::ImportQueue {
    explicit Window(const Folder &folder, contacts::FileSystem &files = platform::systemFileSystem(),
                    forms::ImportQueue *queue = nullptr)
        : form(view, files, folder.path(), queue != nullptr ? *queue : *this,
               {[this] { ++abouts; }, [this] { ++exits; }, [this] {
                    ++endsNow;
                    if (onEndNow)
                        onEndNow();
                }})
    {
        form.Form_Load();
    }

    void importWhenIdle(fs::path file) override { waiting.push_back(std::move(file)); }
    void windowIdle() override
    {
        while (!waiting.empty()) {
            const fs::path file = waiting.front();
            waiting.erase(waiting.begin());
            form.importFile(file);
        }
    }

    FakePersonasView view;
    std::vector<fs::path> waiting;
    int abouts = 0;
    int exits = 0;
    int endsNow = 0;
    std::function<void()> onEndNow; // the process would be gone
    forms::frmPersonas form;
};

// Refuses to open the data file for writing, as a read-only file does for a user.
class ReadOnlyDataFileSystem : public FaultyFileSystem {
public:
    contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override
    {
        if (path.filename() == contacts::kDataFileName && mode != OpenMode::ReadOnly)
            throw contacts::FileError(contacts::FileOp::Open, path,
                                      std::make_error_code(std::errc::permission_denied));
        return FaultyFileSystem::open(path, mode);
    }
};

} // namespace

const std::array<std::string, 5> kEmptyFields{};
