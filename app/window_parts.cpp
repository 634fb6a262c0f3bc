#include "app/window_parts.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/message_box.h"
#include "cutting/time_text.h"

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

QString HalfSecondsText(int halfSeconds) {
  return QString::fromStdString(HalfSecondsToTimeText(halfSeconds));
}

QLineEdit* TimeEdit(const char* name, const QString& hint, QWidget* parent) {
  auto* edit = new QLineEdit(QStringLiteral("00:00:00.0"), parent);
  edit->setObjectName(name);
  edit->setToolTip(hint);
  edit->setMaxLength(10);
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.00")) + 16);
  return edit;
}

void Bind(QPushButton* button, QAction* action) {
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  QObject::connect(action, &QAction::enabledChanged, button, &QPushButton::setEnabled);
  button->setEnabled(action->isEnabled());
}

std::string KindExtension(const QString& path) {
  const QString extension = "." + QFileInfo(path).suffix().toLower();
  for (const char* kind : {".wav", ".mp3", ".wma"})
    if (extension == QLatin1String(kind)) return kind;
  return {};
}

QString ChooseSoundFile(QWidget* owner, const QString& folder) {
  QFileDialog OpenDialog1(owner, QObject::tr("Open"), folder);
  OpenDialog1.setOption(QFileDialog::DontUseNativeDialog);
  OpenDialog1.setOption(QFileDialog::HideNameFilterDetails);
  OpenDialog1.setFileMode(QFileDialog::ExistingFile);
  OpenDialog1.setNameFilter(
      QStringLiteral("Sound Files(*.wav;*.mp3;*.wma) (*.wav *.mp3 *.wma *.WAV *.MP3 *.WMA)"));
  if (OpenDialog1.exec() != QDialog::Accepted || OpenDialog1.selectedFiles().isEmpty()) return {};
  return OpenDialog1.selectedFiles().first();
}

QString ChooseSaveName(QWidget* owner, const QString& folder, const QString& extension) {
  QFileDialog SaveDialog1(owner, QObject::tr("Save As"), folder);
  SaveDialog1.setOption(QFileDialog::DontUseNativeDialog);
  SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);  // the windows ask in their words
  SaveDialog1.setOption(QFileDialog::HideNameFilterDetails);
  SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1.setFileMode(QFileDialog::AnyFile);
  const QString pattern = "*" + extension;
  SaveDialog1.setNameFilter(
      QStringLiteral("Sound Files(%1) (%1 %2)").arg(pattern, pattern.toUpper()));
  SaveDialog1.setDefaultSuffix(extension.mid(1));
  if (SaveDialog1.exec() != QDialog::Accepted || SaveDialog1.selectedFiles().isEmpty()) return {};
  return SaveDialog1.selectedFiles().first();
}

bool MayWriteTo(QWidget* owner, const QString& target, bool& replace) {
  replace = false;
  if (!QFileInfo::exists(target)) return true;
  replace = message_box::AskYesNo(owner, target + " has existed,overite it?");
  return replace;
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
