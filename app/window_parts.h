// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cutting/kinds/kind_registry.h"
#include "cutting/save/output_run.h"

class QAction;
class QCheckBox;
class QObject;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The pieces every window of the program builds the same way: named controls (tests and
// screenshots find them by name), time text, the kind of a sound file by its name, the open
// and save dialogs and the question asked when a window closes during a run.
namespace window_parts {

QPushButton* Button(const char* name, const QString& caption, QWidget* parent);
QLabel* Label(const char* name, const QString& caption, QWidget* parent);
QAction* Action(const char* name, const QString& caption, QObject* owner);
// Milliseconds as the time edits show them ("00:01:02.5").
QString TimeText(int32_t ms);
// A button bound to an action: it runs the action and follows its enabled state.
void Bind(QPushButton* button, QAction* action);

// "Keep the frames (no re-encoding)" for a window that joins stretches, off, its tooltip
// saying what a join keeps and how close it lands. Windows enable it for the kinds that keep
// their frames across a join (TKind::KeepsFramesAcrossJoins).
QCheckBox* JoinKeepingBox(QWidget* parent);

// The kind of sound file `path` names, or null (the kinds registry decides).
const TKind* KindOf(const QString& path);
// A path as the engine takes it, from a dialog's or an edit's text.
std::filesystem::path PathOf(const QString& text);

// Gives `sink` `progress` and `done` as its handlers, and `run` its errors.
void WireSink(TAuFileOut& sink, TOutputRun& run, const std::function<void(TAuOutput&)>& progress,
              const std::function<void()>& done);

// The program's own open dialog for every kind, opened in `folder`; the chosen path, or
// empty when the user cancelled.
QString ChooseSoundFile(QWidget* owner, const QString& folder);

// The program's own save dialog for one kind ("Sound Files(*.mp3)"), opened in the folder
// last written to (else `fallback`) with `proposed` as the name; the chosen path, or empty
// when the user cancelled. The chosen folder is remembered for every window's next save. It
// does not ask about an existing file: the windows ask that in their own words.
QString ChooseSaveName(QWidget* owner, const QString& fallback, const QString& proposed,
                       const TKind& kind);
// The folder the program last wrote a file to (empty: none yet), and remembering one.
QString LastOutputFolder();
void RememberOutputFolder(const QString& file);
// `file`'s name without its extension, and its extension with the dot ("song", ".mp3").
QString BaseName(const QString& file);
QString Extension(const QString& file);

// Asks before an existing `target` is replaced ("has existed,overite it?"). False when the
// user keeps the file; `replace` tells the safe save that there is a file to replace.
bool MayWriteTo(QWidget* owner, const QString& target, bool& replace);

// Opens `run`'s safe save of `target` (refusals raise ESafeOutputError) and remembers its
// folder among those the program writes to, where leftovers of killed runs are swept at
// start-up. Returns the path the sink writes to.
const std::filesystem::path& OpenTarget(TOutputRun& run, const std::filesystem::path& target,
                                        bool replace,
                                        const std::vector<std::filesystem::path>& inputs);
// The folders remembered so, with the program's own data folder and the temporary folder.
std::vector<std::filesystem::path> WrittenFolders();

// A window closing while `running()`: asks `question`; No keeps the window open, Yes calls
// `stop` (when the run has not ended meanwhile). True when the window may close.
bool MayCloseDuringRun(QWidget* owner, QCloseEvent* event, const QString& question,
                       const std::function<bool()>& running, const std::function<void()>& stop);

}  // namespace window_parts
