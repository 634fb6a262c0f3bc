// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window_parts.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStringList>

#include "app/message_box.h"
#include "cutting/save/app_data_folder.h"
#include "cutting/time/time_text.h"

namespace window_parts {

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QLabel* Label(const char* name, const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  return label;
}

QAction* Action(const char* name, const QString& caption, QObject* owner) {
  auto* action = new QAction(caption, owner);
  action->setObjectName(name);
  return action;
}

QString TimeText(int32_t ms) {
  return QString::fromStdString(MsToTimeText(ms));
}

void Bind(QPushButton* button, QAction* action) {
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  QObject::connect(action, &QAction::enabledChanged, button, &QPushButton::setEnabled);
  button->setEnabled(action->isEnabled());
}

QCheckBox* JoinKeepingBox(QWidget* parent) {
  auto* box = new QCheckBox(QObject::tr("Keep the frames (no re-encoding)"), parent);
  box->setObjectName("cbKeepFrames");
  box->setToolTip(QObject::tr(
      "Copies the frames as they are and encodes afresh only about 0.1 s on each side of a "
      "join.\nAn MP3 frame holds 1152 samples (576 below 32 kHz), so the sound removed at a "
      "join is rounded to whole frames\nand the join lands within half a frame (13 ms at "
      "44.1 kHz) of the asked time; the start and the end stay exact.\nFLAC joins are exact. "
      "A WAV loses nothing anyway, and other kinds cannot keep their frames across a join."));
  return box;
}

const TKind* KindOf(const QString& path) {
  return FindKind(PathOf(path));
}

std::filesystem::path PathOf(const QString& text) {
  return std::filesystem::path(text.toStdString());
}

void WireSink(TAuFileOut& sink, TOutputRun& run, const std::function<void(TAuOutput&)>& progress,
              const std::function<void()>& done) {
  sink.OnProgress = [progress, &sink](TComponent*) { progress(sink); };
  sink.OnDone = [done](TComponent*) { done(); };
  run.Watch({&sink});
}

namespace {

// "Sound Files(" and every kind's pattern joined by ";", then the patterns the dialog matches, in
// either case.
QString OpenFilter() {
  QStringList shown, patterns, upper;
  for (const std::string& extension : TKindRegistry::Instance().Extensions()) {
    const QString pattern = "*" + QString::fromStdString(extension);
    shown << pattern;
    patterns << pattern;
    upper << pattern.toUpper();
  }
  return QStringLiteral("Sound Files(%1) (%2 %3)")
      .arg(shown.join(';'), patterns.join(' '), upper.join(' '));
}

}  // namespace

QString ChooseSoundFile(QWidget* owner, const QString& folder) {
  QFileDialog OpenDialog1(owner, QObject::tr("Open"), folder);
  OpenDialog1.setOption(QFileDialog::DontUseNativeDialog);
  OpenDialog1.setOption(QFileDialog::HideNameFilterDetails);
  OpenDialog1.setFileMode(QFileDialog::ExistingFile);
  OpenDialog1.setNameFilter(OpenFilter());
  if (OpenDialog1.exec() != QDialog::Accepted || OpenDialog1.selectedFiles().isEmpty()) return {};
  return OpenDialog1.selectedFiles().first();
}

namespace {

constexpr char kOutputFolderKey[] = "folders/save";

}  // namespace

QString LastOutputFolder() {
  return QSettings().value(QString::fromLatin1(kOutputFolderKey)).toString();
}

void RememberOutputFolder(const QString& file) {
  QSettings().setValue(QString::fromLatin1(kOutputFolderKey), QFileInfo(file).absolutePath());
}

QString BaseName(const QString& file) {
  return QFileInfo(file).completeBaseName();
}

QString Extension(const QString& file) {
  const QString suffix = QFileInfo(file).suffix();
  return suffix.isEmpty() ? QString() : "." + suffix;
}

QString ChooseSaveName(QWidget* owner, const QString& fallback, const QString& proposed,
                       const TKind& kind) {
  const QString extension = QString::fromStdString(kind.Extension());
  const QString last = LastOutputFolder();
  QFileDialog SaveDialog1(owner, QObject::tr("Save As"), last.isEmpty() ? fallback : last);
  SaveDialog1.setOption(QFileDialog::DontUseNativeDialog);
  SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);  // the windows ask in their words
  SaveDialog1.setOption(QFileDialog::HideNameFilterDetails);
  SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1.setFileMode(QFileDialog::AnyFile);
  const QString pattern = "*" + extension;
  SaveDialog1.setNameFilter(
      QStringLiteral("Sound Files(%1) (%1 %2)").arg(pattern, pattern.toUpper()));
  SaveDialog1.setDefaultSuffix(extension.mid(1));
  if (!proposed.isEmpty()) SaveDialog1.selectFile(proposed);
  if (SaveDialog1.exec() != QDialog::Accepted || SaveDialog1.selectedFiles().isEmpty()) return {};
  const QString chosen = SaveDialog1.selectedFiles().first();
  RememberOutputFolder(chosen);
  return chosen;
}

bool MayWriteTo(QWidget* owner, const QString& target, bool& replace) {
  replace = false;
  if (!QFileInfo::exists(target)) return true;
  replace = message_box::AskYesNo(owner, target + " has existed,overite it?");
  return replace;
}

namespace {

constexpr char kWrittenFoldersKey[] = "folders/written";
constexpr int kWrittenFoldersKept = 20;

}  // namespace

const std::filesystem::path& OpenTarget(TOutputRun& run, const std::filesystem::path& target,
                                        bool replace,
                                        const std::vector<std::filesystem::path>& inputs) {
  QSettings settings;
  QStringList folders = settings.value(kWrittenFoldersKey).toStringList();
  const QString folder = QFileInfo(QString::fromStdString(target.string())).absolutePath();
  folders.removeAll(folder);
  folders.prepend(folder);
  while (folders.size() > kWrittenFoldersKept) folders.removeLast();
  settings.setValue(kWrittenFoldersKey, folders);
  return run.OpenTarget(target, replace, inputs);
}

std::vector<std::filesystem::path> WrittenFolders() {
  std::vector<std::filesystem::path> folders = {AppDataFolder() / "Quarvo" / "Trimora",
                                                std::filesystem::temp_directory_path()};
  for (const QString& folder : QSettings().value(kWrittenFoldersKey).toStringList())
    folders.emplace_back(folder.toStdString());
  return folders;
}

bool MayCloseDuringRun(QWidget* owner, QCloseEvent* event, const QString& question,
                       const std::function<bool()>& running, const std::function<void()>& stop) {
  if (!running()) return true;
  if (!message_box::AskYesNo(owner, question)) {
    event->ignore();
    return false;
  }
  if (running()) stop();  // the run may have ended while the question was open
  return true;
}

}  // namespace window_parts
