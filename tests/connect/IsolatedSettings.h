#pragma once

// Points the per-user settings store at a fresh temporary folder before any
// settings object exists, so the tests never read or write the user's own
// connection settings.
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <memory>

inline QTemporaryDir &isolatedConfigDir()
{
    static QTemporaryDir dir;
    return dir;
}

inline void isolateSettings()
{
    QTemporaryDir &dir = isolatedConfigDir();
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder for the settings store\n");
        std::exit(1);
    }
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
}

// The per-user store the connect dialog keeps its values in.
inline std::unique_ptr<QSettings> store()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ORVE"),
                                       QStringLiteral("App"));
}

inline void clearStore()
{
    const auto s = store();
    s->clear();
    s->sync();
}

inline QStringList storedKeys()
{
    QStringList keys = store()->allKeys();
    keys.sort();
    return keys;
}

inline QVariant storedValue(const QString &key)
{
    return store()->value(key);
}

// Refuses to run when the store is not inside the temporary folder.
inline bool storeIsIsolated()
{
    const QString file = store()->fileName();
    return file.startsWith(isolatedConfigDir().path()) || file.contains(QLatin1String(".qttest"));
}

#define KEBO_SETTINGS_TEST_MAIN(TestClass)                                                        \
    int main(int argc, char **argv)                                                               \
    {                                                                                             \
        isolateSettings();                                                                        \
        QApplication app(argc, argv);                                                             \
        TestClass t;                                                                              \
        return QTest::qExec(&t, argc, argv);                                                      \
    }
