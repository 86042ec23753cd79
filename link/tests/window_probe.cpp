// Test support for plain-C hosts: reads what a library window shows, so a C
// host can tell whether the window refreshed without linking Qt itself.
#include <QAbstractButton>
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
