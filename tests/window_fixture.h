#pragma once

// The real main window after start-up, its dialogs answered by the test.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/startup.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/runtime.h"
#include "window/window1.h"

struct WindowFixture : ::testing::Test {
  using Kind = fw::DialogRequest::Kind;
  fw::Ref<frametide::Window1> window;
  std::optional<std::string> folder, saveAs;  // the choosers' answers; absent = cancelled
  std::vector<fw::DialogRequest> asked;
  std::vector<std::string> messages;
  std::function<void()> onMessage;  // runs while the message box is up

  void SetUp() override {
    frametide::initialize();
    fw::RunFrameworkInitialization([] { frametide::Startup(); });
    window = frametide::Window1::Instance();
    fw::SetDialogResponder([this](const fw::DialogRequest& r) -> std::optional<std::string> {
      asked.push_back(r);
      if (r.kind != Kind::MessageBox) return r.kind == Kind::SelectFolder ? folder : saveAs;
      messages.push_back(r.text);
      if (onMessage) onMessage();
      return std::nullopt;
    });
  }
  void TearDown() override { fw::SetDialogResponder({}); }

  // A press and release through the toolkit, as a mouse makes them.
  static void Click(const fw::Ref<fw::PushButton>& button) {
    QWidget* widget = button->Widget();
    const QPointF at = QRectF(widget->rect()).center();
    for (auto [type, held] : {std::pair(QEvent::MouseButtonPress, Qt::LeftButton),
                              std::pair(QEvent::MouseButtonRelease, Qt::NoButton)}) {
      QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton, held, {});
      QCoreApplication::sendEvent(widget, &event);
    }
  }
};
