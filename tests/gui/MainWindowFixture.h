#pragma once

// The main window with fake services and a program folder of its own, for the GUI tests.

#include "app/Form1.h"
#include "support/FakeServiceSet.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace quorvane::test {

class MainWindowFixture : public ::testing::Test, protected FakeServiceSet {
protected:
    MainWindowFixture() { services.programFolder = programFolder.path(); }

    QTemporaryDir programFolder;
    std::unique_ptr<app::Form1> form;

    // Creates the window and runs its start-up; the result of Form_Load.
    bool create() {
        form = std::make_unique<app::Form1>(services);
        return form->Form_Load();
    }
    // Creates, loads and shows the window.
    app::Form1& open() {
        EXPECT_TRUE(create());
        form->show();
        return *form;
    }
    template <class T> T* control(const char16_t* name) {
        T* found = form->findChild<T*>(QString::fromUtf16(name));
        EXPECT_NE(found, nullptr) << "no control " << QString::fromUtf16(name).toStdString();
        return found;
    }
    // Writes a file into the program folder (and its subfolders).
    void writeBeside(const QString& relative, const QByteArray& bytes);
};

// Sends a synthetic mouse event to widget at pos (widget coordinates); global defaults to the
// mapped position.
void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons,
               Qt::MouseButton button = Qt::NoButton, std::optional<QPoint> global = std::nullopt);

} // namespace quorvane::test
