#include "app/CommandLine.h"

#include "app/RecoveryOffer.h"

#include <QCoreApplication>

namespace velkan {

CommandLine::CommandLine(const QStringList &arguments)
    : m_help(m_parser.addHelpOption()), m_version(m_parser.addVersionOption()),
      m_recover(QString::fromLatin1(kRecoverOption),
                QStringLiteral("前回の作業を復元ファイルから復元する"), QStringLiteral("file"))
{
    m_parser.addOption(m_recover);
    m_parser.setApplicationDescription(QStringLiteral("Velkan: WRDスクリプト エディタ"));
    m_parser.addPositionalArgument(QStringLiteral("file"),
                                   QStringLiteral("文書として開くファイル"));
    // parse() rather than process(): the latter ends the program at the first
    // option it does not know. What parse() reports is only about such options.
    m_parser.parse(arguments);
}

QString CommandLine::documentPath() const
{
    const QStringList files = m_parser.positionalArguments();
    return files.isEmpty() ? QString() : files.constFirst();
}

QString CommandLine::recoverPath() const
{
    return m_parser.value(m_recover);
}

bool CommandLine::helpRequested() const
{
    return m_parser.isSet(m_help) || m_parser.isSet(QStringLiteral("help-all"));
}

bool CommandLine::versionRequested() const
{
    return m_parser.isSet(m_version);
}

QString CommandLine::informationText() const
{
    if (versionRequested()) {
        return QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() +
               u'\n';
    }
    return helpRequested() ? m_parser.helpText() : QString();
}

} // namespace velkan
