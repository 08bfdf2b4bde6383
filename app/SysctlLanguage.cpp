// The controller's interface language: one translator, reloaded and reinstalled on each switch.

#include "Sysctl.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlApplicationEngine>

void Sysctl::attachEngine(QGuiApplication&, QQmlApplicationEngine& engine)
{
    m_engine = &engine;
}

void Sysctl::applyLanguage(int index)
{
    for (const zolven::LanguageEntry& row : std::as_const(m_languages)) {
        // Compared at the request's width: -1 or 65536 must not alias a row.
        if (static_cast<int>(row.index) != index)
            continue;
        if (!m_translator.load(row.translationFile))
            continue;
        // Installing the same translator again only moves it to the front.
        QCoreApplication::installTranslator(&m_translator);
        if (m_engine)
            m_engine->retranslate();
        m_iLanguage = index;
    }
}

void Sysctl::setILanguage(int value)
{
    applyLanguage(value);
    emit isILanguageChanged();
    qDebug().noquote().nospace() << "[setIndexLanguage] " << m_iLanguage;
}

QStringList Sysctl::getLLanguage() const
{
    QStringList names;
    names.reserve(m_languages.size());
    for (const zolven::LanguageEntry& row : m_languages)
        names.append(row.displayName);
    return names;
}
