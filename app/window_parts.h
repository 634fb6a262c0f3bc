#pragma once

#include <QString>
#include <functional>
#include <string>

class QAction;
class QObject;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The pieces every window of the program builds the same way: named controls (tests and
// screenshots find them by name), the time edits, the kind of a sound file by its name, the
// save dialog and the question asked when a window closes during a run.
namespace window_parts {

QPushButton* Button(const char* name, const QString& caption, QWidget* parent);
QLabel* Label(const char* name, const QString& caption, QWidget* parent);
QAction* Action(const char* name, const QString& caption, QObject* owner);
// A time in half seconds as the time edits show it ("00:01:02.5").
QString HalfSecondsText(int halfSeconds);
// A time edit holding "00:00:00.0", just wide enough for it.
QLineEdit* TimeEdit(const char* name, const QString& hint, QWidget* parent);
// A button bound to an action: it runs the action and follows its enabled state.
void Bind(QPushButton* button, QAction* action);

// ".wav", ".mp3" or ".wma" for a path of one of the three kinds (any case), else empty.
std::string KindExtension(const QString& path);

// The program's own open dialog for the three kinds, opened in `folder`; the chosen path, or
// empty when the user cancelled.
QString ChooseSoundFile(QWidget* owner, const QString& folder);

// The program's own save dialog for one kind ("Sound Files(*.mp3)"), opened in `folder`;
// the chosen path, or empty when the user cancelled. It does not ask about an existing
// file: the windows ask that in their own words.
QString ChooseSaveName(QWidget* owner, const QString& folder, const QString& extension);

// Asks before an existing `target` is replaced ("has existed,overite it?"). False when the
// user keeps the file; `replace` tells the safe save that there is a file to replace.
bool MayWriteTo(QWidget* owner, const QString& target, bool& replace);

// A window closing while `running()`: asks `question`; No keeps the window open, Yes calls
// `stop` (when the run has not ended meanwhile). True when the window may close.
bool MayCloseDuringRun(QWidget* owner, QCloseEvent* event, const QString& question,
                       const std::function<bool()>& running, const std::function<void()>& stop);

}  // namespace window_parts
