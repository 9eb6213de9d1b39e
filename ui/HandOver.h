#pragma once

#include <QObject>

#include <filesystem>

class QLocalServer;
class QLocalSocket;

namespace forms {
class Program;
}

namespace ui {

// The running program's end of the hand-over: a local socket private to the user,
// named after the data file (forms::handOverName), through which a second start for
// the same contacts hands its file to this program (forms::Program::fileHanded).
class HandOverServer : public QObject {
    Q_OBJECT
public:
    HandOverServer(forms::Program &program, std::filesystem::path dataFile, QObject *parent = nullptr);

    // Whether it listens: not when another running program already does.
    bool listening() const;

private:
    void take(QLocalSocket *socket);

    forms::Program &m_program;
    std::filesystem::path m_dataFile;
    QLocalServer *m_server = nullptr;
};

// A second start's end: true when a program running for `dataFile` took `file`; the
// second start then ends. Gives up after a few seconds without an answer.
bool handToRunningProgram(const std::filesystem::path &dataFile, const std::filesystem::path &file);

} // namespace ui
