// The up-calls into Java and the registry, against a fake virtual machine.
#include <EngineContract.h>
#include <JavaUpcalls.h>
#include <WindowRegistry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "EngineFixture.h"
#include "FakeJni.h"

namespace {

class Upcalls : public ::testing::Test {
protected:
    void SetUp() override {
        BridgeState().vm = jni.Vm();
        jclass widgetClass = reinterpret_cast<jclass>(jni.NewObject());
        CacheMethodIds(jni.Env(), widgetClass);
        widget = jni.NewObject();
        otherWidget = jni.NewObject();
        WindowRegistry::Instance().Register(&record, jni.Env(), widget);
        window.instanceRecord = &record;
        otherWindow.instanceRecord = &otherRecord;
        jni.log.clear();
    }
    void TearDown() override {
        WindowRegistry::Instance().Unregister(&record, jni.Env());
        WindowRegistry::Instance().Unregister(&otherRecord, jni.Env());
        WindowRegistry::Instance().Unregister(nullptr, jni.Env());
        EXPECT_EQ(jni.liveGlobalRefs, 0);
        EXPECT_EQ(jni.callsWithExceptionPending, 0) << "a JNI call was made with an exception pending";
        EXPECT_EQ(jni.liveLocalRefs, 0) << "a local reference was left behind";
        BridgeState() = JavaBridgeState{};
        window.instanceRecord = otherWindow.instanceRecord = nullptr;
    }
    size_t Count(const char* name) const { return std::count(jni.log.begin(), jni.log.end(), name); }

    FakeJni jni;
    InstanceRecord record{};
    InstanceRecord otherRecord{};
    RecordingOwner window, otherWindow;  // windows with the two engine instances
    jobject widget = nullptr;
    jobject otherWidget = nullptr;
};

}  // namespace

TEST_F(Upcalls, CallFunctionHandsTheReplyOverInAHeapBlock) {
    jni.callResult = "<string>pong</string>";
    char* reply = nullptr;
    EXPECT_EQ(CallFunctionUpcall(&record, "<invoke name=\"ping\"/>", &reply), 0);
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(reply, "<string>pong</string>");
    std::free(reply);
    EXPECT_EQ(jni.stringsPassed, (std::vector<std::string>{"<invoke name=\"ping\"/>"}));
    EXPECT_EQ(jni.callTargets, (std::vector<jobject>{widget}));
    EXPECT_EQ(Count("GetStringUTFChars"), Count("ReleaseStringUTFChars"));
}

TEST_F(Upcalls, CallFunctionGivesAnEmptyReplyForANullJavaString) {
    jni.callResult = nullptr;
    char* reply = nullptr;
    EXPECT_EQ(CallFunctionUpcall(&record, "x", &reply), 0);
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(reply, "");
    std::free(reply);
}

TEST_F(Upcalls, AJavaExceptionIsRelayedAndReportedAsOne) {
    jthrowable failure = jni.NewThrowable();
    jni.throwFromCalls = failure;
    char* reply = reinterpret_cast<char*>(&jni);
    EXPECT_EQ(CallFunctionUpcall(&record, "x", &reply), 1);
    EXPECT_EQ(reply, reinterpret_cast<char*>(&jni));  // untouched
    EXPECT_EQ(jni.pending, failure);                  // pending again for the Java caller
    auto describe = std::find(jni.log.begin(), jni.log.end(), "ExceptionDescribe");
    ASSERT_NE(describe, jni.log.end());
    EXPECT_EQ(*(describe + 1), "ExceptionClear");
    EXPECT_EQ(*(describe + 2), "Throw");
    jni.pending = nullptr;
}

TEST_F(Upcalls, AnExceptionPendingBeforehandStopsTheCall) {
    jni.pending = jni.NewThrowable();
    char* reply = nullptr;
    EXPECT_EQ(CallFunctionUpcall(&record, "x", &reply), 1);
    EXPECT_EQ(Count("CallObjectMethod"), 0u);
    EXPECT_NE(jni.pending, nullptr);
    jni.pending = nullptr;
}

TEST_F(Upcalls, UnregisteredInstancesReachNoWidget) {
    char* reply = nullptr;
    EXPECT_EQ(CallFunctionUpcall(&otherRecord, "x", &reply), 0);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(TraceUpcall(&otherRecord, "text"), 0);
    ContextMenuUpcall(otherWindow, 1, 2);
    EXPECT_EQ(Count("CallObjectMethod") + Count("CallVoidMethod"), 0u);
}

TEST_F(Upcalls, TraceReachesTheWidgetAndReportsExceptions) {
    EXPECT_EQ(TraceUpcall(nullptr, "text"), 2);
    EXPECT_EQ(TraceUpcall(&record, nullptr), 0);
    EXPECT_EQ(Count("CallVoidMethod"), 0u);
    EXPECT_EQ(TraceUpcall(&record, "frame 3"), 0);
    EXPECT_EQ(jni.stringsPassed, (std::vector<std::string>{"frame 3"}));
    jni.throwFromCalls = jni.NewThrowable();
    EXPECT_EQ(TraceUpcall(&record, "again"), 1);
    jni.pending = nullptr;
}

TEST_F(Upcalls, PointUpcallsPassExactlyXThenYToTheirOwnWidget) {
    WindowRegistry::Instance().Register(&otherRecord, jni.Env(), otherWidget);
    DoubleClickUpcall(window, BridgeState().doubleClickMethod, 12, -34);
    ContextMenuUpcall(otherWindow, 5, 6);
    EXPECT_EQ(jni.intArraysPassed, (std::vector<std::vector<jint>>{{12, -34}, {5, 6}}));
    EXPECT_EQ(jni.callTargets, (std::vector<jobject>{widget, otherWidget}));
}

TEST_F(Upcalls, WindowsWithoutEngineEachReachTheirOwnWidget) {
    WindowRegistry& registry = WindowRegistry::Instance();
    RecordingOwner first, second;  // no engine instance
    jobject firstWidget = jni.NewObject(), secondWidget = jni.NewObject();
    registry.Register(nullptr, jni.Env(), widget);  // the null key holds nothing
    registry.RegisterWindow(first, jni.Env(), firstWidget);
    registry.RegisterWindow(second, jni.Env(), secondWidget);
    EXPECT_EQ(registry.Lookup(nullptr), nullptr);
    ContextMenuUpcall(second, 1, 2);
    DoubleClickUpcall(first, BridgeState().doubleClickMethod, 3, 4);
    EXPECT_EQ(jni.callTargets, (std::vector<jobject>{secondWidget, firstWidget}));
    EXPECT_EQ(jni.intArraysPassed, (std::vector<std::vector<jint>>{{1, 2}, {3, 4}}));
    registry.UnregisterWindow(first, jni.Env());
    ContextMenuUpcall(first, 5, 6);
    EXPECT_EQ(jni.callTargets.size(), 2u);
    registry.UnregisterWindow(second, jni.Env());
    EXPECT_EQ(jni.liveGlobalRefs, 1);  // the record's only
}

TEST_F(Upcalls, AWindowThatLostItsEngineIsStillUnregistered) {
    // Its native window went with its parent before the widget was closed.
    WindowRegistry& registry = WindowRegistry::Instance();
    RecordingOwner owner;
    InstanceRecord ownRecord{0, &owner};
    owner.instanceRecord = &ownRecord;
    registry.RegisterWindow(owner, jni.Env(), otherWidget);
    EXPECT_EQ(registry.Lookup(&ownRecord), otherWidget);
    owner.instanceRecord = nullptr;
    registry.UnregisterWindow(owner, jni.Env());
    EXPECT_EQ(registry.Lookup(&ownRecord), nullptr);
    EXPECT_EQ(jni.liveGlobalRefs, 1);
}

TEST_F(Upcalls, ASecondRegistrationOfAKeyKeepsTheFirstWidgetAndNoReference) {
    WindowRegistry& registry = WindowRegistry::Instance();
    registry.Register(&record, jni.Env(), otherWidget);
    EXPECT_EQ(registry.Lookup(&record), widget);
    EXPECT_EQ(jni.liveGlobalRefs, 1);
}

TEST(UpcallIds, AMissingMethodLeavesItsIdNullTheOthersFoundAndTheErrorPending) {
    FakeJni jni;
    jni.missingMethods = {"VPA_CallFunction", "VPA_Trace"};
    CacheMethodIds(jni.Env(), reinterpret_cast<jclass>(jni.NewObject()));
    JavaBridgeState& state = BridgeState();
    EXPECT_NE(state.contextMenuMethod, nullptr);
    EXPECT_NE(state.doubleClickMethod, nullptr);
    EXPECT_EQ(state.callFunctionMethod, nullptr);
    EXPECT_EQ(state.traceMethod, nullptr);
    EXPECT_NE(jni.pending, nullptr);
    EXPECT_EQ(jni.callsWithExceptionPending, 0);
    EXPECT_EQ(jni.liveLocalRefs, 0) << "the failures' local references must go";

    // An up-call whose method is missing is skipped rather than crash the VM.
    jni.pending = nullptr;
    state.vm = jni.Vm();
    InstanceRecord record{};
    WindowRegistry::Instance().Register(&record, jni.Env(), jni.NewObject());
    char* reply = nullptr;
    EXPECT_EQ(CallFunctionUpcall(&record, "x", &reply), 0);
    EXPECT_EQ(TraceUpcall(&record, "x"), 0);
    EXPECT_EQ(std::count(jni.log.begin(), jni.log.end(), "CallObjectMethod") +
                  std::count(jni.log.begin(), jni.log.end(), "CallVoidMethod"),
              0);
    WindowRegistry::Instance().Unregister(&record, jni.Env());
    state = JavaBridgeState{};
}
