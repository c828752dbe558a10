// MessageBoxA: a modal box on the dialog's thread; from another thread only
// the caller waits while the dialog's thread runs on.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "tests/platform/dialog_fixture.h"

namespace {

using MessageBoxTest = DialogTest;

QMessageBox* visibleBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

struct Asked {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    std::thread::id thread;
};

TEST_F(MessageBoxTest, AnInterceptorAnswersOnTheCallingThread) {
    ASSERT_NE(open(), nullptr);
    std::mutex lock;
    std::vector<Asked> asked;
    platform::testing::setMessageBoxInterceptor([&](HWND owner, const char* text, const char* caption, UINT type) {
        std::lock_guard guard(lock);
        asked.push_back({owner, text, caption, type, std::this_thread::get_id()});
        return IDCANCEL;
    });
    EXPECT_EQ(MessageBoxA(dialog, "Can't initialize device\n(error code: 3)", "BASS Error!", MB_ICONWARNING), IDCANCEL);
    int fromWorker = 0;
    std::thread::id workerId;
    std::thread worker([&] {
        workerId = std::this_thread::get_id();
        fromWorker = MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
    });
    worker.join();
    EXPECT_EQ(fromWorker, IDCANCEL);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].owner, dialog);
    EXPECT_EQ(asked[0].text, "Can't initialize device\n(error code: 3)");
    EXPECT_EQ(asked[0].caption, "BASS Error!");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(asked[0].thread, guiThread);
    EXPECT_EQ(asked[1].owner, nullptr);
    EXPECT_EQ(asked[1].text, "");
    EXPECT_EQ(asked[1].caption, "Error");  // Win32's caption when none is given
    EXPECT_EQ(asked[1].thread, workerId);
}

TEST_F(MessageBoxTest, ABoxForAnotherThreadBlocksOnlyThatThread) {
    ASSERT_NE(open(), nullptr);
    SetTimer(dialog, 4, 15, nullptr);
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        // "Ошибка" in Windows-1251
        answer = MessageBoxA(dialog, "\xCE\xF8\xE8\xE1\xEA\xE0 1", "BASS Error!", MB_OK | MB_ICONWARNING);
    });
    QMessageBox* box = nullptr;
    ASSERT_TRUE(pumpUntil([&] { return (box = visibleBox()) != nullptr; }));
    EXPECT_EQ(box->text(), QString::fromUtf8(u8"Ошибка 1"));
    EXPECT_EQ(box->windowTitle(), "BASS Error!");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->parentWidget(), platform::testing::widgetOf(dialog));

    // The dialog's thread goes on with its timer while the worker waits.
    const size_t ticks = messages(WM_TIMER).size();
    EXPECT_TRUE(pumpUntil([&] { return messages(WM_TIMER).size() >= ticks + 3; }));
    EXPECT_EQ(answer, -1);

    box->button(QMessageBox::Ok)->click();
    ASSERT_TRUE(pumpUntil([&] { return answer != -1; }));
    worker.join();
    EXPECT_EQ(answer, IDOK);
}

std::atomic<int> procTicks{0};

void countTick(HWND, UINT, UINT_PTR, DWORD) {
    ++procTicks;
}

// The box's modal loop goes on delivering the window's timers: the dialog
// procedure's and one with a procedure of its own.
TEST_F(MessageBoxTest, ABoxOnTheDialogThreadIsModalAndAnswers) {
    ASSERT_NE(open(), nullptr);
    SetTimer(dialog, 4, 15, nullptr);
    ASSERT_TRUE(pumpUntil([&] { return !messages(WM_TIMER).empty(); }));
    SetTimer(dialog, 5, 15, countTick);
    procTicks = 0;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QString text;
    std::optional<size_t> ticksAtOpen;
    size_t ticksWhileOpen = 0;
    auto opened = std::chrono::steady_clock::now();
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (!ticksAtOpen) {
                ticksAtOpen = messages(WM_TIMER).size();
                opened = std::chrono::steady_clock::now();
            }
            ticksWhileOpen = messages(WM_TIMER).size() - *ticksAtOpen;
            bool late = std::chrono::steady_clock::now() - opened > std::chrono::seconds(60);
            if ((procTicks < 3 || ticksWhileOpen < 3) && !late) return;
            icon = box->icon();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start();
    EXPECT_EQ(MessageBoxA(dialog, "Stations file not found!\n(error code: 0)", "BASS Error!", MB_OK), IDOK);
    EXPECT_GE(ticksWhileOpen, 3u) << "the dialog procedure missed its ticks behind its own box";
    EXPECT_GE(procTicks, 3);
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(text, "Stations file not found!\n(error code: 0)");
}

TEST_F(MessageBoxTest, ABoxWhoseOwnerGoesAwayReleasesItsCaller) {
    ASSERT_NE(open(), nullptr);
    std::atomic<int> answer{-1};
    std::thread worker([&] { answer = MessageBoxA(dialog, "bye", "caption", MB_OK); });
    ASSERT_TRUE(pumpUntil([] { return visibleBox() != nullptr; }));
    DestroyWindow(dialog);
    dialog = nullptr;
    EXPECT_TRUE(pumpUntil([&] { return answer != -1; }));
    worker.join();
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(visibleBox(), nullptr);
}

}  // namespace
