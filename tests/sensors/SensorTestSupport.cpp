#include "SensorTestSupport.h"

#include "sensors/Identification.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace sensortest {

namespace {

void* testFunction(const char* name)
{
    const QByteArray path = (QCoreApplication::applicationDirPath() + "/config.dat").toLocal8Bit();
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.constData());
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
#else
    void* handle = dlopen(path.constData(), RTLD_NOW);
    return handle ? dlsym(handle, name) : nullptr;
#endif
}

template <typename Fn>
Fn fn(const char* name)
{
    auto f = reinterpret_cast<Fn>(testFunction(name));
    if (!f)
        qFatal("test library function %s not found beside the test", name);
    return f;
}

std::vector<std::string> g_adapters;
std::vector<std::string> adapterList()
{
    return g_adapters;
}

} // namespace

long TestLibrary::calls(int which) const
{
    return fn<long (*)(int)>("zolven_test_calls")(which);
}

QString TestLibrary::trace() const
{
    auto f = fn<int (*)(char*, int)>("zolven_test_trace");
    QByteArray buffer(f(nullptr, 0) + 1, '\0');
    f(buffer.data(), int(buffer.size()));
    return QString::fromLatin1(buffer.constData());
}

int TestLibrary::lastFlags() const
{
    return fn<int (*)()>("zolven_test_last_flags")();
}

void TestLibrary::reset() const
{
    fn<void (*)()>("zolven_test_reset")();
}

QString fixturePath(const QString& name)
{
    return QStringLiteral(ZOLVEN_SENSOR_FIXTURES "/") + name;
}

void useReadings(const QString& path)
{
    qputenv("ZOLVEN_READINGS", QFile::encodeName(path));
}

QString useReadingsText(const QTemporaryDir& dir, const QString& text)
{
    static int serial = 0;
    const QString path = dir.filePath(QStringLiteral("case%1.readings").arg(++serial));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(path));
    f.close();
    useReadings(path);
    return path;
}

void setAdapters(const std::vector<std::string>& names)
{
    g_adapters = names;
    zolven::sensors::setAdapterSource(adapterList);
}

} // namespace sensortest
