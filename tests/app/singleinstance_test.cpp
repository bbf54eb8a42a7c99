// The hand-over from a CD start to the running instance, both ends in one process.
#include "singleinstance.h"

#include <gtest/gtest.h>

#include <QLocalServer>
#include <QUuid>

#include "commandtable.h"

namespace {

QString uniqueName() { return "snaplore-test-" + QUuid::createUuid().toString(QUuid::Id128); }

}  // namespace

TEST(AppSingleInstance, RunningInstanceAnswersACdLaunch) {
    const QString name = uniqueName();
    QStringList received;
    int calls = 0;
    SingleInstance running(name, [&](const QStringList& arguments) {
        ++calls;
        received = arguments;
        return cmd::kPingAnswer;
    });
    ASSERT_TRUE(running.listen());

    const auto answer = SingleInstance::handOver(name, {"-CDLAUNCH", "/media/cdrom"});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, 10974732u);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(received, (QStringList{"-CDLAUNCH", "/media/cdrom"}));
}

TEST(AppSingleInstance, NoInstanceMeansNoAnswer) {
    EXPECT_FALSE(SingleInstance::handOver(uniqueName(), {"-cdlaunch"}, 1000).has_value());
}

TEST(AppSingleInstance, ASecondListenerLeavesTheLiveOneAlone) {
    const QString name = uniqueName();
    int firstCalls = 0, secondCalls = 0;
    SingleInstance first(name, [&](const QStringList&) { return ++firstCalls, cmd::kPingAnswer; });
    ASSERT_TRUE(first.listen());
    SingleInstance second(name, [&](const QStringList&) { return ++secondCalls, 1u; });
    EXPECT_FALSE(second.listen());

    EXPECT_EQ(SingleInstance::handOver(name, {"-cdlaunch"}), std::optional<quint32>(cmd::kPingAnswer));
    EXPECT_EQ(firstCalls, 1);  // the probe of the second listener did not count as a hand-over
    EXPECT_EQ(secondCalls, 0);
}
