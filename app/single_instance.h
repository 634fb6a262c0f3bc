// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running instance per user and display. A later start on the same display hands its
// request (and its file argument, if any) to the running instance over a local socket and
// ends; the running instance shows itself and opens that file.
class TSingleInstance : public QObject {
  Q_OBJECT

 public:
  // The socket: a file in the user's runtime folder named after the program's id, the user
  // and the display. TRIMORA_INSTANCE_NAME replaces it (tests run instances of their own).
  static QString DefaultName();

  explicit TSingleInstance(QString name, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // True when a running instance took the request to show itself and open `file` (empty:
  // just show).
  bool HandToRunning(const QString& file) const;
  // Serves later starts. A socket left behind by a crashed instance is removed first.
  bool Listen();

 signals:
  void ShowRequested(const QString& file);

 private:
  void Accept();

  QString FName;
  QLocalServer* FServer = nullptr;
};
