#pragma once

#include <QApplication>
#include <QPointer>

namespace velkan {

class CommandLine;
class MainFrame;

// The application: start-up, the command line and the one main frame.
class VelkanApp : public QApplication {
    Q_OBJECT
public:
    VelkanApp(int &argc, char **argv);
    ~VelkanApp() override;

    // Builds the main frame for the command line (a file named there is
    // opened as the document: only its name reaches the title). Returns
    // false when that file cannot be opened.
    bool initInstance(const CommandLine &commandLine);
    int run();
    // The main frame, once initInstance has built it (until it is closed).
    MainFrame *frame() const;

private:
    // Gone once closed: the frame deletes itself then.
    QPointer<MainFrame> m_frame;
};

} // namespace velkan
