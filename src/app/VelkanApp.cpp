#include "app/VelkanApp.h"

#include "app/AboutDialog.h"
#include "app/CommandLine.h"
#include "app/MainFrame.h"
#include "app/RecoveryOffer.h"
#include "document/RecoveryJournal.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"

#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace velkan {

VelkanApp::VelkanApp(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Velkan"));
    setApplicationVersion(QStringLiteral("1.1.0.0"));
    setOrganizationName(QStringLiteral("Velkan"));
    // The menu entry installed beside the program: its icon and name on Wayland.
    setDesktopFileName(QStringLiteral("io.github.velkan.Velkan"));
    // One look on every desktop: scroll bars with arrow buttons, which the
    // position bar and the layout dialog's arrows rely on.
    setStyle(QStringLiteral("Fusion"));
    Fonts::registerSubstitutions();
    setFont(Fonts::formFont());
    // Everything the program says is Japanese: so are Qt's own dialogs
    // (file dialogs, standard buttons), whatever the desktop's language.
    auto *qtTranslator = new QTranslator(this);
    if (qtTranslator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                           QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTranslator);
    setWindowIcon(appIcon());
}

VelkanApp::~VelkanApp()
{
    delete m_frame;
}

MainFrame *VelkanApp::frame() const
{
    return m_frame;
}

bool VelkanApp::initInstance(const CommandLine &commandLine)
{
    m_frame = new MainFrame;
    const QString document = commandLine.documentPath();
    if (!document.isEmpty()) {
        QFile file(document);
        if (!file.open(QIODevice::ReadOnly)) {
            MessageBox::show(nullptr, QStringLiteral("%1 を開けません。").arg(document));
            return false;
        }
        m_frame->setDocumentTitle(QFileInfo(file).fileName());
    }
    return true;
}

int VelkanApp::run()
{
    const CommandLine commandLine(arguments());
    const QString information = commandLine.informationText();
    if (!information.isEmpty()) {
        // Printed here rather than by the parser, which would exit() past the
        // application's own teardown.
        std::fputs(information.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!initInstance(commandLine))
        return 1;
    m_frame->show();
    // Work an earlier run left unsaved, before anything else is done.
    if (const QString recover = commandLine.recoverPath(); !recover.isEmpty())
        restoreLeftBehindWork(*m_frame, recover);
    else
        offerLeftBehindWork(*m_frame, RecoveryJournal::stateFolder());
    if (!m_frame)
        return 0;
    return exec();
}

} // namespace velkan
