#include "app_test_support.h"

#include <QFile>
#include <QListWidget>
#include <QSignalSpy>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "app/shell_tree_view.h"
#include "app/unit1.h"
#include "common/jpeg_codec.h"

namespace ortholay::testing {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write fixture " + path.toStdString());
    }
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return file.readAll();
}

QByteArray TestJpeg(int width, int height) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                        static_cast<std::size_t>(x)) * 3];
            pixel[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
            pixel[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
            pixel[2] = static_cast<std::uint8_t>((x + y) * 7);
        }
    }
    const std::vector<std::uint8_t> jpeg =
        EncodeTileJpeg(rgb.data(), static_cast<std::size_t>(width) * 3, width, height, false);
    return QByteArray(reinterpret_cast<const char*>(jpeg.data()), static_cast<qsizetype>(jpeg.size()));
}

QByteArray WorldFileText(double a, double e, double c, double f) {
    return QStringLiteral("%1\r\n0\r\n0\r\n%2\r\n%3\r\n%4\r\n")
        .arg(a, 0, 'f', 3)
        .arg(e, 0, 'f', 3)
        .arg(c, 0, 'f', 3)
        .arg(f, 0, 'f', 3)
        .toLatin1();
}

void WritePhoto(const QString& folder, const QString& name, int width, int height) {
    WriteFile(folder + "/" + name + ".jpg", TestJpeg(width, height));
    WriteFile(folder + "/" + name + ".jgw", WorldFileText(0.5, -0.5, 305000, 2771000));
}

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageBoxFunction([this](const QString& caption, const QString& text) {
        messages_.push_back({caption, text});
    });
}

MessageRecorder::~MessageRecorder() {
    SetMessageBoxFunction(previous_);
}

QStringList MessageRecorder::texts() const {
    QStringList result;
    for (const Message& message : messages_) {
        result << message.text;
    }
    return result;
}

bool ScriptedSaveDialog::Execute() {
    openedWith_ << FileName();
    if (choices_.empty()) {
        throw std::logic_error("the save dialog was opened more often than scripted");
    }
    const std::optional<QString> choice = choices_.front();
    choices_.pop_front();
    if (!choice) {
        return false;
    }
    SetFileName(*choice);
    return true;
}

bool ScriptedSaveDialog::ConfirmReplace(const QString& fileName) {
    askedToReplace_ << fileName;
    if (answers_.empty()) {
        throw std::logic_error("asked to replace a file without a scripted answer");
    }
    const bool answer = answers_.front();
    answers_.pop_front();
    return answer;
}

ScriptedSaveDialog* UseScriptedSaveDialog(TForm1& form) {
    auto dialog = std::make_unique<ScriptedSaveDialog>(&form);
    ScriptedSaveDialog* raw = dialog.get();
    form.SaveDialog1 = std::move(dialog);
    return raw;
}

bool WaitForRun(TForm1& form) {
    if (!form.IsRunning()) {
        return true;
    }
    QSignalSpy finished(&form, &TForm1::runFinished);
    return finished.wait(60000);
}

bool SelectFolder(TForm1& form, const QString& folder) {
    return form.ShellTreeView1->SelectPath(folder);
}

QStringList ListItems(const TForm1& form) {
    QStringList items;
    for (int i = 0; i < form.CheckListBox1->count(); ++i) {
        items << form.CheckListBox1->item(i)->text();
    }
    return items;
}

std::vector<bool> ListTicks(const TForm1& form) {
    std::vector<bool> ticks;
    for (int i = 0; i < form.CheckListBox1->count(); ++i) {
        ticks.push_back(form.CheckListBox1->item(i)->checkState() == Qt::Checked);
    }
    return ticks;
}

}  // namespace ortholay::testing
