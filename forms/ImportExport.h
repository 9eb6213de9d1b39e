#pragma once

#include "forms/FileDialogs.h"

#include <filesystem>
#include <functional>

namespace contacts {
class ContactFile;
}

namespace forms {

class ImportQueue;
class JobRunner;
class PersonasView;

// The contacts window's exchange with vCard and CSV files: "Importar contactos..."
// (the file chosen, read while the window answers, the question, the one atomic
// rewrite), "Exportar contactos...", and the files dropped on the window or handed
// to the program, imported one after the other: a file that comes while the window is
// busy waits in the program's queue (ImportQueue), which hands it back once it is not.
class ImportExport {
public:
    // `file` is the window's data file, `jobs` how the window runs what takes a
    // moment, `queue` where files wait while the window is busy, and `loadList` its
    // list load, once an import has written the file.
    ImportExport(PersonasView &view, contacts::ContactFile &file, JobRunner &jobs, ImportQueue &queue,
                 std::function<void()> loadList);

    // "Importar contactos...": the open dialog, then importFile.
    void chooseAndImport();
    // "Exportar contactos...": the save dialog, then every contact to the file chosen.
    void chooseAndExport();
    // Imports `file` after the user has seen what it holds and confirmed: read (the
    // window answering meanwhile), nothing written for a refused file or a "Cancelar";
    // one atomic rewrite of the data file, then the list load. While another import or
    // export, or any job of the window, is under way, the file waits in the queue.
    void importFile(const std::filesystem::path &file);
    // Tells the queue when the window is no longer busy, so that what waits comes.
    void importWaiting();

private:
    bool idle() const;
    // Runs `work` as the window's one import or export, then lets what waits come.
    void exchangeThenDrain(const std::function<void()> &work);
    void importOne(const std::filesystem::path &file);
    void exportOne();
    void rememberFolder(const std::filesystem::path &file);

    PersonasView &m_view;
    contacts::ContactFile &m_file;
    JobRunner &m_jobs;
    ImportQueue &m_queue;
    std::function<void()> m_loadList;
    // An import or export is under way: a dropped or handed file waits its turn.
    bool m_exchanging = false;
    // Where the last import or export went, for the next dialog.
    std::filesystem::path m_lastFolder;
};

} // namespace forms
