#include "ui/HandOver.h"

#include "forms/HandOver.h"
#include "forms/Program.h"
#include "ui/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cstdint>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace ui {

namespace {

// Every message is its length (4 bytes) and then what forms::handOverMessage made;
// the answer is one byte.
constexpr char kTaken = '1';
constexpr char kNotTaken = '0';
constexpr std::uint32_t kLongestMessage = 1 << 20;
constexpr int kConnectMs = 1000;
// Long enough for a program busy loading a large list; a second start that gives up
// goes on alone, so the file must not then be taken as well (see take()).
constexpr int kAnswerMs = 10000;

// Where the socket lives: the user's own runtime folder, or the temporary folder with
// the user's id in the name.
QString socketPath(const std::filesystem::path &dataFile)
{
    const QString name = qtext(forms::handOverName(dataFile));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime + QLatin1Char('/') + name;
    return QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(::getuid());
}

// Whether the other end of `socket` runs as this user: a socket of that name made by
// someone else gets no file.
bool sameUser(QLocalSocket &socket)
{
    struct ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
           && peer.uid == ::getuid();
}

} // namespace

HandOverServer::HandOverServer(forms::Program &program, std::filesystem::path dataFile, QObject *parent)
    : QObject(parent), m_program(program), m_dataFile(std::move(dataFile)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath(m_dataFile);
    if (!m_server->listen(path) && m_server->serverError() == QAbstractSocket::AddressInUseError) {
        // Left by a program that ended without removing it, unless one answers there.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (!probe.waitForConnected(kConnectMs)) {
            QLocalServer::removeServer(path);
            m_server->listen(path);
        }
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            take(socket);
    });
}

bool HandOverServer::listening() const
{
    return m_server->isListening();
}

void HandOverServer::take(QLocalSocket *socket)
{
    // A caller that says nothing is not waited for.
    QTimer::singleShot(kAnswerMs, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (socket->bytesAvailable() < 4)
            return;
        std::uint32_t length = 0;
        socket->peek(reinterpret_cast<char *>(&length), sizeof length);
        if (length > kLongestMessage) {
            socket->abort();
            return;
        }
        if (socket->bytesAvailable() < 4 + static_cast<qint64>(length))
            return;
        socket->skip(4);
        const QByteArray message = socket->read(length);
        const std::optional<std::filesystem::path> file =
            forms::handedFile(std::string_view(message.constData(), static_cast<std::size_t>(message.size())), m_dataFile);
        // Not for a caller that has given up waiting and started on its own.
        const bool taken = file && socket->state() == QLocalSocket::ConnectedState && m_program.fileHanded(*file);
        socket->write(taken ? &kTaken : &kNotTaken, 1);
        socket->flush();
        socket->disconnectFromServer();
    });
}

bool handToRunningProgram(const std::filesystem::path &dataFile, const std::filesystem::path &file)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(dataFile));
    if (!socket.waitForConnected(kConnectMs) || !sameUser(socket))
        return false;
    const std::string message = forms::handOverMessage(dataFile, file);
    const auto length = static_cast<std::uint32_t>(message.size());
    QByteArray bytes(reinterpret_cast<const char *>(&length), sizeof length);
    bytes.append(message.data(), static_cast<qsizetype>(message.size()));
    socket.write(bytes);
    if (!socket.waitForBytesWritten(kAnswerMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(kAnswerMs))
            return false;
    }
    char answer = kNotTaken;
    socket.read(&answer, 1);
    return answer == kTaken;
}

} // namespace ui
