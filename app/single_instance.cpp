// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

// The request a second start sends: this line, then the file's path (possibly empty).
constexpr char kShowRequest[] = "6657\n";
constexpr int kWaitMs = 2000;

}  // namespace

QString TSingleInstance::DefaultName() {
  const QString name = qEnvironmentVariable("TRIMORA_INSTANCE_NAME");
  if (!name.isEmpty()) return name;
  // The display the window goes to: a start on another display or session gets a window there.
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  for (QChar& c : display)
    if (!c.isLetterOrNumber() && c != '.' && c != '-') c = '_';
  // The user's runtime folder ($XDG_RUNTIME_DIR, or a private folder Qt makes for the user).
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return QDir(folder).filePath(QStringLiteral("org.quarvo.Trimora-%1-%2.socket")
                                   .arg(::getuid())
                                   .arg(display.isEmpty() ? QStringLiteral("none") : display));
}

TSingleInstance::TSingleInstance(QString name, QObject* parent)
    : QObject(parent), FName(std::move(name)) {}

TSingleInstance::~TSingleInstance() = default;

bool TSingleInstance::HandToRunning(const QString& file) const {
  QLocalSocket socket;
  socket.connectToServer(FName);
  if (!socket.waitForConnected(kWaitMs)) return false;
  socket.write(QByteArray(kShowRequest) + file.toUtf8());
  if (!socket.waitForBytesWritten(kWaitMs)) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kWaitMs);
  return true;
}

bool TSingleInstance::Listen() {
  FServer = new QLocalServer(this);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
  if (FServer->listen(FName)) return true;
  // Nobody answered HandToRunning, so a socket file of that name is a crashed instance's.
  QLocalServer::removeServer(FName);
  return FServer->listen(FName);
}

void TSingleInstance::Accept() {
  while (QLocalSocket* socket = FServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
      const QByteArray request = socket->readAll();
      socket->deleteLater();
      if (!request.startsWith(kShowRequest)) return;
      emit ShowRequested(QString::fromUtf8(request.mid(int(sizeof kShowRequest) - 1)));
    });
  }
}
