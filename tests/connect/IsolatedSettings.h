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

inline void clearStore()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ORVE"),
                QStringLiteral("App"));
    s.clear();
    s.sync();
}

inline QStringList storedKeys()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ORVE"),
                QStringLiteral("App"));
    QStringList keys = s.allKeys();
    keys.sort();
    return keys;
}

inline QVariant storedValue(const QString &key)
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ORVE"),
                QStringLiteral("App"));
    return s.value(key);
}

// Refuses to run when the store is not inside the temporary folder.
inline bool storeIsIsolated()
{
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("ORVE"),
                QStringLiteral("App"));
    return s.fileName().startsWith(isolatedConfigDir().path())
        || s.fileName().contains(QLatin1String(".qttest"));
}

#define KEBO_SETTINGS_TEST_MAIN(TestClass)                                                        \
    int main(int argc, char **argv)                                                               \
    {                                                                                             \
        isolateSettings();                                                                        \
        QApplication app(argc, argv);                                                             \
        TestClass t;                                                                              \
        return QTest::qExec(&t, argc, argv);                                                      \
    }
