// A leaf page whose work arrives in a later version: it says so plainly instead of showing
// controls that do nothing.
#pragma once

#include <QWidget>

namespace orv::console {

class CUpcomingPage : public QWidget {
  Q_OBJECT

 public:
  CUpcomingPage(const QString& pageName, const QString& whatItDoes, QWidget* parent = nullptr);
};

}  // namespace orv::console
