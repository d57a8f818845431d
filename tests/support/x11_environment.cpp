// Every process of these tests starts its own Xvfb and a Qt application on
// it; nothing depends on a display from outside.
#include "support/x11_environment.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "glpanel/keep_libraries_loaded.h"
#include "glpanel/scrgl_log.h"
#include "support/xvfb_server.h"

namespace x11test {

namespace {

// Mesa's GLX and its DRI driver, loaded now and never unloaded: a test that
// loads and unloads a GL driver would otherwise take them away before the
// leak report at exit.
void pin_gl_driver() {
    dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_NODELETE);
    dlopen(DOZU_TEST_DRI_DIR "/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
}

class X11Environment : public ::testing::Environment {
public:
    void SetUp() override {
        pin_gl_driver();
        std::string error;
        const std::string display = server_.Start(error);
        ASSERT_FALSE(display.empty()) << error;
        setenv("DISPLAY", display.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        char runtime[] = "/tmp/dozu-glpanel-XXXXXX";
        if (mkdtemp(runtime)) {
            runtime_ = runtime;
            setenv("XDG_RUNTIME_DIR", runtime, 1);
        }
        // The editor's recovery copies go to a data folder of the test's own.
        char data[] = "/tmp/dozu-data-XXXXXX";
        if (mkdtemp(data)) {
            data_ = data;
            setenv("XDG_DATA_HOME", data, 1);
        }
        static int argc = 1;
        static char name[] = "glpanel_x11_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }

    void TearDown() override {
        dozu::keep_libraries_loaded();
        app_.reset();
        server_.Stop();
        if (!runtime_.empty()) rmdir(runtime_.c_str());
        if (!data_.empty()) std::filesystem::remove_all(data_);
    }

private:
    XvfbServer server_;
    std::unique_ptr<QApplication> app_;
    std::string runtime_;
    std::string data_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new X11Environment);

LogCapture* g_capture = nullptr;

std::string strip_prefix(const char* line) {
    const std::string text = line;
    const size_t dash = text.find(" - ");
    return dash == std::string::npos ? text : text.substr(dash + 3);
}

void capture_info(const char* line, void*) {
    if (g_capture) g_capture->info.push_back(strip_prefix(line));
}

void capture_error(const char* line, void*) {
    if (g_capture) g_capture->error.push_back(strip_prefix(line));
}

}  // namespace

bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void Pump(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

LogCapture::LogCapture() {
    g_capture = this;
    dozu::SetMessageProc(capture_info, capture_error, nullptr);
}

LogCapture::~LogCapture() {
    dozu::SetMessageProc(nullptr, nullptr, nullptr);
    g_capture = nullptr;
}

bool LogCapture::HasInfo(const std::string& line) const { return CountInfo(line) > 0; }

int LogCapture::CountInfo(const std::string& line) const {
    return int(std::count(info.begin(), info.end(), line));
}

}  // namespace x11test
