#include "Identification.h"

#include "platform/CpuBrand.h"
#include "platform/DisplayAdapters.h"

#include <QDebug>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace zolven::sensors {

namespace {

std::atomic<AdapterSource> g_adapterSource{nullptr};

bool containsAny(const QString& text, std::initializer_list<const char*> keywords)
{
    for (const char* k : keywords)
        if (text.contains(QLatin1String(k), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

QString cpuBrandFromBytes(const std::string& raw)
{
    const std::size_t len = std::min(raw.size(), raw.find('\0'));
    return QString::fromUtf8(raw.data(), static_cast<qsizetype>(len)).trimmed();
}

QString readCpuBrand()
{
    const QString name = cpuBrandFromBytes(platform::cpuBrandBytes());
    qDebug() << QStringLiteral("[GET CPU NAME] ") << "Found CPU:" << name;
    return name;
}

GpuChoice chooseGpuName(const QStringList& descriptions)
{
    QString discrete;
    QString integrated;
    for (const QString& text : descriptions) {
        if (containsAny(text, {"NVIDIA", "Geforce", "RTX", "GT", "GTX", "RX"}))
            discrete = text;
        else if (containsAny(text, {"Intel", "AMD"}))
            integrated = text;
        qDebug() << QStringLiteral("[GET GPU NAME] ") << "Found GPU:" << text;
    }
    if (!discrete.isEmpty()) {
        qDebug().noquote() << "[GET GPU NAME] "
                           << "Discrete GPU Detected now:" << discrete;
        return {discrete, true};
    }
    if (!integrated.isEmpty()) {
        qDebug().noquote() << "[GET GPU NAME] "
                           << "No discrete GPU Detected now:" << integrated;
        return {integrated, false};
    }
    qDebug() << "[GET GPU NAME] "
             << "Didn't detected any GPU, Use:" << integrated;
    return {QStringLiteral("Unknown GPU"), false};
}

GpuChoice findGpuName()
{
    const AdapterSource source = g_adapterSource.load();
    const std::vector<std::string> names = source ? source() : platform::displayAdapterNames();
    QStringList descriptions;
    for (const auto& n : names)
        descriptions.append(QString::fromStdString(n));
    return chooseGpuName(descriptions);
}

void setAdapterSource(AdapterSource source)
{
    g_adapterSource.store(source);
}

} // namespace zolven::sensors
