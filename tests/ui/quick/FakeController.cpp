#include "FakeController.h"

#include <QCoreApplication>
#include <QQmlEngine>

FakeController::FakeController(QQmlEngine* engine, QObject* parent)
    : QObject(parent), m_engine(engine)
{}

void FakeController::record(const char* name, const QVariant& arg)
{
    QString entry = QString::fromLatin1(name) + QLatin1Char('(');
    if (arg.isValid())
        entry += arg.toString();
    m_calls << entry + QLatin1Char(')');
    emit callsChanged();
}

void FakeController::setIsShowFah(bool value)
{
    record("setIsShowFah", value);
    m_showFah = value;
    emit isShowFahChanged();
}

void FakeController::setIsAutoRun(bool value)
{
    record("setIsAutoRun", value);
    m_autoRun = value;
    emit isAutoRunChanged();
}

bool FakeController::loadLanguage(int index)
{
    static const char* const files[] = {":/i18n/i18n/zh_CN.qm", ":/i18n/i18n/ct_CN.qm",
                                        ":/i18n/i18n/en_US.qm"};
    if (index < 0 || index > 2 || !m_translator.load(QString::fromLatin1(files[index])))
        return false;
    QCoreApplication::installTranslator(&m_translator);
    m_engine->retranslate();
    m_language = index;
    return true;
}

void FakeController::setILanguage(int value)
{
    record("setILanguage", value);
    loadLanguage(value);
    emit isILanguageChanged();
}

void FakeController::confFileSync()
{
    record("confFileSync");
    m_autoRun = m_storedAutoRun;
    m_showFah = m_storedShowFah;
    loadLanguage(m_storedLanguage);
    emit isAutoRunChanged();
    emit isShowFahChanged();
    emit isILanguageChanged();
}

void FakeController::syncConfFile()
{
    record("syncConfFile");
}

void FakeController::handlerCheckConnected()
{
    record("handlerCheckConnected");
}

void FakeController::reset(bool autoRun, bool showFah, int language)
{
    QCoreApplication::removeTranslator(&m_translator);
    m_engine->retranslate();
    m_storedAutoRun = autoRun;
    m_storedShowFah = showFah;
    m_storedLanguage = language;
    m_autoRun = false;
    m_showFah = false;
    m_language = 2;
    m_connected = false;
    emit isAutoRunChanged();
    emit isShowFahChanged();
    emit isILanguageChanged();
    clearCalls();
}

void FakeController::clearCalls()
{
    m_calls.clear();
    emit callsChanged();
}

QVariantList FakeController::argsOf(const QString& name) const
{
    QVariantList out;
    const QString prefix = name + QLatin1Char('(');
    for (const QString& call : m_calls)
        if (call.startsWith(prefix))
            out << call.mid(prefix.size(), call.size() - prefix.size() - 1);
    return out;
}

QStringList FakeController::callNames() const
{
    QStringList out;
    for (const QString& call : m_calls) {
        const QString name = call.left(call.indexOf(QLatin1Char('(')));
        if (name != QLatin1String("handlerCheckConnected"))
            out << name;
    }
    return out;
}
