// SPDX-License-Identifier: GPL-3.0-or-later
// Where the split's pieces go: beside the file unless a folder is chosen, and a folder that
// does not exist yet is offered to be made before anything is written.
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <set>
#include <system_error>

#include "app/message_box.h"
#include "app/split_window.h"
#include "app/window_parts.h"

QLayout* TfrmSplit::BuildFolderRow(QWidget* box) {
  eFolder = new QLineEdit(box);
  eFolder->setObjectName("eFolder");
  eFolder->setAccessibleName(tr("Folder of the pieces"));
  eFolder->setPlaceholderText(tr("Beside the file"));
  bFolder = window_parts::Button("bFolder", tr("..."), box);
  bFolder->setAccessibleName(tr("Choose the folder of the pieces"));
  bFolder->setToolTip(tr("Choose the folder the pieces are written to"));
  // As narrow as its text: the edit beside it gets the room for the path.
  bFolder->setFixedWidth(bFolder->fontMetrics().horizontalAdvance(bFolder->text()) + 24);
  auto* row = new QHBoxLayout;
  row->addWidget(eFolder, 1);
  row->addWidget(bFolder);
  connect(bFolder, &QPushButton::clicked, this, &TfrmSplit::bFolderClick);
  connect(eFolder, &QLineEdit::textChanged, this, &TfrmSplit::ShowPlan);
  return row;
}

std::filesystem::path TfrmSplit::PiecesFolder() const {
  if (!eFolder->text().trimmed().isEmpty()) return window_parts::PathOf(eFolder->text().trimmed());
  return window_parts::PathOf(eOpenFile->text()).parent_path();
}

void TfrmSplit::bFolderClick() {
  QFileDialog dialog(this, tr("Folder of the pieces"),
                     QString::fromStdString(PiecesFolder().string()));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  eFolder->setText(dialog.selectedFiles().first());
}

// Asks once for each folder of the pieces that is missing, and makes it; false when the user
// declines or it cannot be made (said so), and nothing is written then.
bool TfrmSplit::MakeMissingFolders() {
  std::set<std::filesystem::path> missing;
  for (const std::filesystem::path& name : FNames) {
    std::error_code error;
    if (!std::filesystem::exists(name.parent_path(), error)) missing.insert(name.parent_path());
  }
  for (const std::filesystem::path& folder : missing) {
    const QString shown = QString::fromStdString(folder.string());
    if (!message_box::AskYesNo(this, tr("The folder '%1' does not exist. Make it?").arg(shown)))
      return false;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
      ShowMessage(tr("The folder '%1' cannot be made: %2")
                      .arg(shown, QString::fromStdString(error.message())));
      return false;
    }
  }
  return true;
}
