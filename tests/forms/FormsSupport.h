// What the forms tests share: a program folder of their own and one contacts window
// over it, loaded, with its fake view.
#pragma once

#include "tests/FaultyFileSystem.h"
#include "tests/forms/FakeViews.h"
#include "tests/RecordFiles.h"
#include "tests/TempFolder.h"
#include "tests/VersionTexts.h"
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

// One contacts window over a folder, loaded.
struct Window {
    explicit Window(const Folder &folder, contacts::FileSystem &files = platform::systemFileSystem())
        : form(view, files, folder.path(), {[this] { ++abouts; }, [this] { ++exits; }, [this] {
                   ++endsNow;
                   if (onEndNow)
                       onEndNow();
               }})
    {
        form.Form_Load();
    }

    FakePersonasView view;
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
