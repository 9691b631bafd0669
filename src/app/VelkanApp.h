#pragma once

#include <QApplication>

namespace velkan {

class VelkanApp : public QApplication {
    Q_OBJECT
public:
    VelkanApp(int &argc, char **argv);
    int run();
};

} // namespace velkan
