#pragma once

#include <QDialog>

namespace velkan {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);
};

// The program's icon, drawn rather than shipped as a file.
QIcon appIcon();

} // namespace velkan
