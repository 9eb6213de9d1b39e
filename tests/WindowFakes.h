#pragma once

#include "ui/Services.h"

#include <QString>
#include <QStringList>

// Stand-ins for what the program gives its windows: messages are recorded instead of
// shown, and the menu's requests to the program are counted.
class RecordingMessages : public ui::Messages {
public:
    explicit RecordingMessages(QStringList &texts) : m_texts(texts) {}
    void show(QWidget *, const std::string &text) override { m_texts << QString::fromStdString(text); }

private:
    QStringList &m_texts;
};

class CountingProgram : public ui::Program {
public:
    CountingProgram(int &aboutCalls, int &quitCalls) : m_aboutCalls(aboutCalls), m_quitCalls(quitCalls) {}
    void showAbout() override { ++m_aboutCalls; }
    void quit() override { ++m_quitCalls; }

private:
    int &m_aboutCalls;
    int &m_quitCalls;
};
