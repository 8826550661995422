#include "ui/qt/standard_dialogs.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QShortcut>
#include <QUrl>

#include "ui/qt/latin1.h"

namespace ui::qt {
namespace {

QString FilterText(const std::string& filter) {
  // "Text|*.txt|Programs|*.prg;*.PRG" -> "Text (*.txt);;Programs (*.prg *.PRG)"
  QStringList parts = FromBytes(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.trimmed());
  }
  return filters.join(QLatin1String(";;"));
}

}  // namespace

ui::MessageBoxAnswer AskWithMessageBox(QWidget* owner, const ui::MessageBoxRequest& request) {
  using Buttons = ui::MessageBoxRequest::Buttons;
  QPointer<QMessageBox> box = new QMessageBox(owner);
  box->setTextFormat(Qt::PlainText);
  box->setWindowTitle(FromBytes(request.title));
  box->setText(FromBytes(request.text).replace(QLatin1Char('|'), QLatin1Char('\n')));
  if (request.buttons == Buttons::OkCancel) {
    box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  } else if (request.buttons == Buttons::YesNo) {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  } else {
    box->setStandardButtons(QMessageBox::Ok);
  }
  box->exec();
  if (!box) return ui::MessageBoxAnswer::Declined;  // its owner went away while it was open
  QMessageBox::StandardButton chosen = box->standardButton(box->clickedButton());
  delete box.data();
  return chosen == QMessageBox::Ok || chosen == QMessageBox::Yes ? ui::MessageBoxAnswer::Accepted
                                                                 : ui::MessageBoxAnswer::Declined;
}

std::string AskForFile(QWidget* owner, const ui::FileDialogRequest& request) {
  QPointer<QFileDialog> dialog =
      new QFileDialog(owner, FromBytes(request.title), QFile::decodeName(request.folder.c_str()));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  dialog->setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QString filters = FilterText(request.filter);
  if (!filters.isEmpty()) dialog->setNameFilter(filters);
  if (!request.defaultExtension.empty())
    dialog->setDefaultSuffix(FromBytes(request.defaultExtension));
  if (!request.defaultName.empty())
    dialog->selectFile(QFile::decodeName(request.defaultName.c_str()));
  const bool accepted = dialog->exec() == QDialog::Accepted;
  if (!dialog) return {};
  QStringList chosen = dialog->selectedFiles();
  delete dialog.data();
  if (!accepted || chosen.isEmpty()) return {};
  QByteArray path = QFile::encodeName(chosen.first());
  return std::string(path.constData(), static_cast<std::size_t>(path.size()));
}

bool OpenFileWithDesktop(const std::string& path) {
  QFileInfo file(QFile::decodeName(path.c_str()));
  if (!file.isFile()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()));
}

bool HelpWindow::Show(const std::string& title, const std::string& index) {
  QFileInfo file(QFile::decodeName(index.c_str()));
  if (!file.isFile() || !file.isReadable()) return false;
  if (!window_) {
    window_ = new QTextBrowser;
    window_->setOpenExternalLinks(true);
    window_->resize(720, 640);
    // ESC closes it, as it closes the dialogs.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), window_);
    QObject::connect(close, &QShortcut::activated, window_, &QWidget::close);
  }
  window_->setWindowTitle(FromBytes(title));
  window_->setSearchPaths({file.absolutePath()});
  window_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()), QTextDocument::MarkdownResource);
  window_->show();
  window_->raise();
  window_->activateWindow();
  return true;
}

HelpWindow::~HelpWindow() {
  delete window_.data();
}

}  // namespace ui::qt
