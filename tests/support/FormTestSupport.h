#pragma once

#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/TestAnswers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <string>

namespace velkan::test {

// Answers every message box and file dialog through the seams, and starts
// and ends with every queue of test answers empty.
class SeamedTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetTestAnswers();
        MessageBox::setTestMode(true);
        FileDialog::setTestMode(true);
    }
    void TearDown() override { resetTestAnswers(); }
    QString writeTemp(const QString &name, const std::string &bytes)
    {
        const QString path = m_dir.filePath(name);
        std::ofstream(path.toStdString(), std::ios::binary) << bytes;
        return path;
    }
    static std::string readFile(const QString &path)
    {
        std::ifstream in(path.toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    QTemporaryDir m_dir;
};

} // namespace velkan::test
