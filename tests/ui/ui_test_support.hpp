// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "tests/app/model_test_support.hpp"

// The model tests' private stores and in-process keyboards, plus widgets found by object name.
namespace zepa::uitest {

enum class Attached { none, zepa, halvern, both };

class ViewTest : public test::ModelTest {
 protected:
  // Built after any stored setting the test wants.
  AppModel& attach(Attached attached) {
    view_.reset();
    useKeyboards(attached == Attached::zepa || attached == Attached::both,
                 attached == Attached::halvern || attached == Attached::both);
    model_ = makeModel();
    return *model_;
  }
  template <typename T = QWidget>
  static T* find(const QObject& root, const char* name) {
    T* child = root.findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << "no widget named " << name;
    return child;
  }
  static QString text(const QObject& root, const char* label) {
    return find<QLabel>(root, label)->text();
  }
  // Which of the named widgets are enabled, in the given order.
  static QStringList enabledOf(const QWidget& root, const QStringList& names) {
    QStringList list;
    for (const QString& name : names)
      if (find(root, name.toLatin1().constData())->isEnabled()) list << name;
    return list;
  }
  static void click(const QObject& root, const char* button) {
    QTest::mouseClick(find<QAbstractButton>(root, button), Qt::LeftButton);
  }
  // As a user picks an entry: the box emits `activated`, which programmatic changes do not.
  static void choose(const QObject& root, const char* box, const QVariant& data) {
    auto* combo = find<QComboBox>(root, box);
    const int index = combo->findData(data);
    ASSERT_GE(index, 0) << box << " offers no " << data.toString().toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }
  // A view of the current model at a window's size, shown: unshown buttons have no height to
  // click.
  template <typename View>
  View& open() {
    view_ = std::make_unique<View>(*model_);
    view_->resize(900, 640);
    view_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
    return static_cast<View&>(*view_);
  }

  template <typename View>
  View& open(Attached attached) {
    attach(attached);
    return open<View>();
  }
  AppModel& model() { return *model_; }

  std::unique_ptr<AppModel> model_;
  std::unique_ptr<QWidget> view_;  // after the model: goes first
};

}  // namespace zepa::uitest
