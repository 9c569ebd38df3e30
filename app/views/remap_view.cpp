#include "app/views/remap_view.hpp"

#include <QLabel>
#include <QVBoxLayout>

namespace zepa {

// Placeholder until the view is built.
RemapView::RemapView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("…"), this));
}

}  // namespace zepa
