// Test support for plain-C hosts: reads what a library window shows and works
// its buttons, so a C host can drive a window without linking Qt itself.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int window_probe_text(void* window, const char* name, char* out,
                                                                        int size) {
    auto* root = static_cast<QWidget*>(window);
    if (!root || !name || !out || size <= 0) return 0;
    QString text;
    if (auto* label = root->findChild<QLabel*>(QString::fromLatin1(name)))
        text = label->text();
    else if (auto* edit = root->findChild<QLineEdit*>(QString::fromLatin1(name)))
        text = edit->text();
    else
        return 0;
    const QByteArray bytes = text.toUtf8();
    std::strncpy(out, bytes.constData(), size_t(size) - 1);
    out[size - 1] = 0;
    return 1;
}

// Clicks a named button of a library window, as the user would.
extern "C" __attribute__((visibility("default"))) int window_probe_click(void* window, const char* name) {
    auto* root = static_cast<QWidget*>(window);
    auto* button = root && name ? root->findChild<QAbstractButton*>(QString::fromLatin1(name)) : nullptr;
    if (!button) return 0;
    button->click();
    return 1;
}

// Closes the modal box in front (an About box, a message), if any.
extern "C" __attribute__((visibility("default"))) int window_probe_close_modal(void) {
    QWidget* box = QApplication::activeModalWidget();
    if (!box) return 0;
    box->close();
    return 1;
}

// Whether a window still exists (was not destroyed).
extern "C" __attribute__((visibility("default"))) int window_probe_exists(void* window) {
    for (QWidget* w : QApplication::allWidgets())
        if (w == window) return 1;
    return 0;
}
