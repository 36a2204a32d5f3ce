// Pref<T> and Observable<T> on real widgets (offscreen): controls follow writes made
// anywhere in the process, on the GUI thread or another one, and write back when toggled.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QSignalSpy>
#include <QtTest>

#include "settings/Suite.h"
#include "settings/Prefs.h"
#include "settings/binding/Pref.h"
#include "support/TempHome.h"

using namespace vorrel;

class PrefTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempHome> home_;
    std::shared_ptr<platform::Suite> suite_;
    int counter_ = 0;

    Prefs::Key<bool> newKey(bool defaultValue = false) {
        return Prefs::Key<bool>("flag" + std::to_string(counter_++), suite_, defaultValue);
    }

    enum class Writer { guiThread, otherThread, otherProcess };

    // Writes the key the way the row says: on the GUI thread, on a thread of its own, or as
    // another process does (a new settings file renamed over the old one, unseen by this
    // process's suite).
    void write(const Prefs::Key<bool>& key, bool value, Writer writer) {
        if (writer == Writer::otherProcess) {
            const auto file = suite_->filePath();
            std::filesystem::create_directories(file.parent_path());
            const auto fresh = file.parent_path() / "other-process.tmp";
            std::ofstream(fresh) << "{\"" << key.name() << "\": " << (value ? "true" : "false") << "}\n";
            std::filesystem::rename(fresh, file);
            return;
        }
        if (writer == Writer::guiThread) {
            Prefs::set(key, value);
            return;
        }
        std::thread worker([&] { Prefs::set(key, value); });
        worker.join();
    }

private slots:
    void init() {
        home_ = std::make_unique<test::TempHome>();
        suite_ = platform::Suite::open("pref-qtest." + std::to_string(counter_++));
    }
    void cleanup() {
        suite_.reset();
        home_.reset();
    }

    void checkBoxFollowsWritesMadeElsewhere_data() {
        QTest::addColumn<int>("writer");
        QTest::newRow("GUI thread") << int(Writer::guiThread);
        QTest::newRow("worker thread") << int(Writer::otherThread);
        QTest::newRow("another process") << int(Writer::otherProcess);
    }
    void checkBoxFollowsWritesMadeElsewhere() {
        QFETCH(int, writer);
        const auto how = Writer(writer);
        auto key = newKey();
        Prefs::Pref<bool> pref(key);
        QCheckBox box("Transparent Background");
        pref.bindCheckable(&box);
        QSignalSpy changed(&pref, &Prefs::PrefBase::changed);
        QVERIFY(!box.isChecked());

        write(key, true, how);
        QTRY_VERIFY(box.isChecked());
        QCOMPARE(changed.count(), 1);
        write(key, false, how);
        QTRY_VERIFY(!box.isChecked());
        QCOMPARE(changed.count(), 2);
        QCOMPARE(pref.wrappedValue(), false);
    }

    void togglingAControlWritesTheKey() {
        auto key = newKey();
        Prefs::Pref<bool> pref(key);
        QCheckBox box;
        QAction action("Log to File");
        pref.bindCheckable(&box);
        pref.bindCheckable(&action);
        QVERIFY(action.isCheckable());

        box.click();
        QCOMPARE(Prefs::get(key), true);
        QVERIFY(action.isChecked());  // the other control follows
        action.trigger();
        QCOMPARE(Prefs::get(key), false);
        QVERIFY(!box.isChecked());
        QVERIFY(pref.isDefaultValue());

        pref.setWrappedValue(true);
        QVERIFY(box.isChecked() && action.isChecked());
        pref.reset();
        QVERIFY(!box.isChecked());
        QCOMPARE(suite_->objectForKey(key.name()), std::optional<platform::Value>(false));
    }

    // A write the store refuses (here a settings file made read-only): every bound control
    // shows the stored value again, the failure is told with the file and the error, and
    // the next toggle tries again.
    void aRefusedWriteLeavesTheControlsOnTheStoredValue() {
        auto key = newKey();
        Prefs::Pref<bool> pref(key);
        QCheckBox box;
        QAction action("Log to File");
        pref.bindCheckable(&box);
        pref.bindCheckable(&action);
        QSignalSpy failed(&pref, &Prefs::PrefBase::writeFailed);
        QSignalSpy changed(&pref, &Prefs::PrefBase::changed);
        QVERIFY(!suite_->setObject(platform::Value("kept"), "other"));
        const auto file = suite_->filePath();
        const std::string before = test::readFile(file);
        std::filesystem::permissions(file, std::filesystem::perms::owner_read);

        for (int attempt = 1; attempt <= 2; ++attempt) {
            box.click();
            QVERIFY(!box.isChecked());
            QVERIFY(!action.isChecked());
            QCOMPARE(failed.count(), attempt);
            QCOMPARE(failed.last().at(0).toString(), QString::fromStdString(file.string()));
            QCOMPARE(failed.last().at(1).toString(), "Permission denied");
        }
        action.trigger();
        QVERIFY(!action.isChecked() && !box.isChecked());
        QVERIFY(pref.setWrappedValue(true).has_value());
        QVERIFY(!box.isChecked());
        QCOMPARE(failed.count(), 4);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(test::readFile(file), before);

        std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        box.click();
        QVERIFY(box.isChecked() && action.isChecked());
        QCOMPARE(Prefs::get(key), true);
        QCOMPARE(failed.count(), 4);
    }

    void equalKeyKeepsTheObservation() {
        auto key = newKey();
        Prefs::Pref<bool> pref(key);
        QCheckBox box;
        pref.bindCheckable(&box);
        QCOMPARE(pref.observable().observationGeneration(), std::uint64_t{1});

        pref.setKey(Prefs::Key<bool>(key.name(), suite_, true));  // same name, same suite
        QCOMPARE(pref.observable().observationGeneration(), std::uint64_t{1});
        QCOMPARE(pref.defaultValue(), true);

        auto otherHandle = platform::Suite::open(suite_->name());
        pref.setKey(Prefs::Key<bool>(key.name(), otherHandle, false));  // another suite object
        QCOMPARE(pref.observable().observationGeneration(), std::uint64_t{2});

        auto other = newKey();
        Prefs::set(other, true);
        pref.setKey(other);
        QCOMPARE(pref.observable().observationGeneration(), std::uint64_t{3});
        QVERIFY(box.isChecked());  // shows the new key's value at once
        Prefs::set(key, false);   // the old key no longer drives it
        Prefs::set(other, false);
        QTRY_VERIFY(!box.isChecked());
    }

    void destroyedPrefDoesNoWorkForLaterWrites() {
        // Every delivered change computes the key's default: count the closure's calls.
        auto calls = std::make_shared<std::atomic<int>>(0);
        Prefs::Key<bool> key("counted", suite_, [calls] {
            ++*calls;
            return false;
        });
        {
            Prefs::Pref<bool> pref(key);
            std::thread writer([&] { Prefs::set(key, true); });
            writer.join();
            QCOMPARE(calls->load(), 1);
        }
        // The wake-up queued by the worker's write died with the Pref: processing events
        // must not touch it (AddressSanitizer would say so).
        QCoreApplication::processEvents();
        Prefs::set(key, false);
        std::thread writer([&] { Prefs::set(key, true); });
        writer.join();
        QCOMPARE(calls->load(), 1);
    }
};

QTEST_MAIN(PrefTest)
#include "Pref_qtest.moc"
