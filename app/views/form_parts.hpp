// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <functional>
#include <initializer_list>
#include <utility>

class QButtonGroup;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSlider;
class QWidget;

// Building blocks the forms share, so every form lines up and reads the same.
namespace zepa {

// A form with labels right-aligned beside their fields, as desktop settings forms look.
QFormLayout* makeForm(QWidget* parent);

// Gives every label of the form the width of the widest one, hidden rows included, so the
// fields stay put when rows hide or a label's text changes.
void lockLabelColumn(QFormLayout* form);

// Keeps a text's distance from the edges of every plain push button under `root`, also when
// the window is at its minimum size and the layout squeezes the buttons.
void giveButtonsRoom(QWidget* root);

// Runs `fit` whenever `widget` is polished or its font changes. Sizes measured from text are
// right only for the font the widget ends up with, and a window measuring nothing until it is
// first shown is built while the system's fonts still load.
void fitToFont(QWidget* widget, std::function<void()> fit);

// Accent-coloured fill: the one action a view or dialog is about.
void markProminent(QPushButton* button);

// A horizontal slider over whole values, 300 pixels wide.
QSlider* makeStepSlider(int minimum, int maximum, QWidget* parent);

// Text in the palette's dimmed colour.
QLabel* secondaryLabel(const QString& text, QWidget* parent);

// A small, dimmed, wrapping note.
QLabel* noteLabel(const QString& text, QWidget* parent);

// A row that centres a wrapping label and lets it grow to maxWidth. (A label added to a box
// layout with an alignment keeps its one-line width and cuts off wrapped lines.)
QHBoxLayout* centredText(QLabel* label, int maxWidth);

// The prominent button at the right end of a row.
QHBoxLayout* applyRow(QPushButton* button);

// Adjacent toggle buttons of which exactly one is on; each button's id is its value and its
// object name is namePrefix followed by its text.
QWidget* makeSegmented(std::initializer_list<std::pair<QString, int>> segments,
                       const QString& namePrefix, QWidget* parent, QButtonGroup*& group);
// Turns on the segment of `value`, or none when no segment has it; emits nothing.
void selectSegment(QButtonGroup* group, int value);

}  // namespace zepa
