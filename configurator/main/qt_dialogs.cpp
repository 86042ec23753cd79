#include "main/qt_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "main/qt_text.h"

namespace vrt::cfg {
namespace {

QWidget* Owner(QWidget* preferred) { return preferred ? preferred : QApplication::activeWindow(); }

QString Title() { return QCoreApplication::applicationName(); }

// A box with the one button OK. Qt's Russian catalogue leaves that button in
// Latin letters; it reads "ОК" in Cyrillic, as in the link library's boxes.
// Texts hold file and tag names, so they are never taken for markup.
void ShowOkBox(QMessageBox::Icon icon, QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(QString::fromUtf8("ОК"));
    box.exec();
}

// Qt's own boxes (the file dialog's warnings among them) take the OK
// button's text from Qt's catalogue, which leaves it Latin: this one
// translation reads "ОК" in Cyrillic there too.
class CyrillicOk final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override {
        if (qstrcmp(context, "QPlatformTheme") == 0 && qstrcmp(sourceText, "OK") == 0)
            return QString::fromUtf8("ОК");
        return {};
    }
};

}  // namespace

bool InstallQtCatalogue() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    auto* translator = new QTranslator(app);
    const bool installed = translator->load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
                           QCoreApplication::installTranslator(translator);
    if (!installed) delete translator;
    // Installed last, so it is asked first.
    QCoreApplication::installTranslator(new CyrillicOk(app));
    return installed;
}

SaveAnswer QtMainUi::AskSave(std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, Title(), ToQ(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    Owner(parent_));
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return SaveAnswer::Yes;
        case QMessageBox::No:
            return SaveAnswer::No;
        default:
            return SaveAnswer::Cancel;
    }
}

std::optional<std::string> QtMainUi::InputQuery(std::string_view caption, std::string_view prompt,
                                                std::string_view initial) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(Owner(parent_), ToQ(caption), ToQ(prompt), QLineEdit::Normal, ToQ(initial), &ok);
    if (!ok) return std::nullopt;
    return FromQ(text);
}

std::optional<std::string> QtMainUi::ChooseTagFileToOpen(const std::string& folder) {
    const QString name = QFileDialog::getOpenFileName(Owner(parent_), QString(), FileNameToQ(folder), "tag (*.tag)");
    if (name.isEmpty()) return std::nullopt;
    return FileNameFromQ(name);
}

std::optional<std::string> QtMainUi::ChooseTagFileToSave(const std::string& folder) {
    QFileDialog dialog(Owner(parent_));
    if (!folder.empty()) dialog.setDirectory(FileNameToQ(folder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter("tag (*.tag)");
    dialog.setDefaultSuffix("tag");
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FileNameFromQ(dialog.selectedFiles().first());
}

std::optional<std::string> QtMainUi::ChoosePrgFile() {
    // The typed name need not exist; the import library reads it.
    QFileDialog dialog(Owner(parent_));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter("prg (*.prg)");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return FileNameFromQ(dialog.selectedFiles().first());
}

void QtMainUi::ErrorBox(std::string_view text) { ShowOkBox(QMessageBox::Critical, Owner(parent_), Title(), ToQ(text)); }

void QtMessageSink::errorBox(std::string_view text, std::string_view caption) {
    ShowOkBox(QMessageBox::Critical, QApplication::activeWindow(), ToQ(caption), ToQ(text));
}

void QtMessageSink::messageBox(std::string_view text) {
    ShowOkBox(QMessageBox::Information, QApplication::activeWindow(), Title(), ToQ(text));
}

void QtMessageSink::requestQuit() {
    quitRequested_ = true;
    // Leaves the loop without asking the windows, as the program must end.
    QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
}

}  // namespace vrt::cfg
