// The host services as the engine sees them.
#include <cstring>

#include "EngineFixture.h"

namespace {

const HostServices& Table() { return VantraPlayerManager::Get(true)->Services(); }

template <typename Signature>
Signature Service(int index) {
    return EntryAs<Signature>(Table().entries[index]);
}

}  // namespace

TEST(HostServices, OnlyEntriesZeroToTwentyTwoAndTwentyFourAreFilled) {
    for (int i = 0; i < HostServices::kCount; ++i) {
        bool filled = i <= 22 || i == 24;
        EXPECT_EQ(Table().entries[i] != nullptr, filled) << "entry " << i;
    }
}

TEST(HostServices, ForwardingServicesAnswerTwoWithoutRecordAndFourWithoutOwner) {
    InstanceRecord orphan{0, nullptr};
    for (InstanceRecord* record : {static_cast<InstanceRecord*>(nullptr), &orphan}) {
        int32_t expected = record ? 4 : 2;
        int32_t w = -1, h = -1;
        void* pixels = &w;
        EXPECT_EQ(Service<service::GetWindowSize>(2)(record, &w, &h), expected);
        EXPECT_EQ(Service<service::FourWords>(3)(record, 1, 2, 3, 4), expected);
        EXPECT_EQ(Service<service::FourWords>(4)(record, 1, 2, 3, 4), expected);
        EXPECT_EQ(Service<service::ThreeWords>(5)(record, 1, 2, 3), expected);
        EXPECT_EQ(Service<service::TwoWords>(6)(record, 1, 2), expected);
        EXPECT_EQ(Service<service::OneWord>(7)(record, 1), expected);
        EXPECT_EQ(Service<service::GetWindowHandle>(8)(record), nullptr);
        EXPECT_EQ(Service<service::GetBackBufferBitmap>(9)(record), nullptr);
        EXPECT_EQ(Service<service::AskToKillScript>(12)(record), 1);
        EXPECT_EQ(Service<service::LockBackBuffer>(13)(record, &pixels), expected);
        EXPECT_EQ(Service<service::RecordOnly>(14)(record), expected);
        EXPECT_EQ(w, -1);
        EXPECT_EQ(pixels, &w);
    }
}

TEST(HostServices, ForwardingServicesReachTheOwnersSlotsInOrder) {
    RecordingOwner owner;
    owner.answer = 99;
    InstanceRecord record{0, &owner};
    int32_t w = 0, h = 0;
    void* pixels = nullptr;
    EXPECT_EQ(Service<service::GetWindowSize>(2)(&record, &w, &h), 99);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(Service<service::FourWords>(3)(&record, 1, 2, 3, 4), 99);
    EXPECT_EQ(Service<service::FourWords>(4)(&record, 5, 6, 7, 8), 99);
    EXPECT_EQ(Service<service::ThreeWords>(5)(&record, 255, 0, 9), 99);
    EXPECT_EQ(Service<service::TwoWords>(6)(&record, 10, 11), 99);
    EXPECT_EQ(Service<service::OneWord>(7)(&record, 4), 99);
    EXPECT_EQ(Service<service::GetWindowHandle>(8)(&record), reinterpret_cast<HWND>(static_cast<intptr_t>(0x1230)));
    EXPECT_EQ(Service<service::GetBackBufferBitmap>(9)(&record),
              reinterpret_cast<HBITMAP>(static_cast<intptr_t>(0x4560)));
    EXPECT_EQ(Service<service::AskToKillScript>(12)(&record), 1);
    EXPECT_EQ(Service<service::LockBackBuffer>(13)(&record, &pixels), 99);
    EXPECT_EQ(pixels, &owner);
    EXPECT_EQ(Service<service::RecordOnly>(14)(&record), 0);  // whatever the slot answered
    std::vector<int> slots;
    for (const auto& call : owner.slotCalls) slots.push_back(call.slot);
    EXPECT_EQ(slots, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 10, 11, 12}));
    EXPECT_EQ(owner.slotCalls[1].args, (std::vector<intptr_t>{1, 2, 3, 4}));
    EXPECT_EQ(owner.slotCalls[2].args, (std::vector<intptr_t>{5, 6, 7, 8}));
    EXPECT_EQ(owner.slotCalls[3].args, (std::vector<intptr_t>{255, 0, 9}));
}

TEST(HostServices, EntriesWithoutServiceAnswerOnlyForTheRecord) {
    RecordingOwner owner;
    InstanceRecord record{0, &owner};
    InstanceRecord orphan{0, nullptr};
    for (int entry : {11, 15, 16, 17, 18, 19}) {
        EXPECT_EQ(Service<service::RecordOnly>(entry)(nullptr), 2) << entry;
        EXPECT_EQ(Service<service::RecordOnly>(entry)(&orphan), 0) << entry;
        EXPECT_EQ(Service<service::RecordOnly>(entry)(&record), 0) << entry;
    }
    EXPECT_TRUE(owner.slotCalls.empty());
    EXPECT_EQ(Service<service::AlwaysFalse>(24)(), 0);
}

TEST(HostServices, ClearResultWordWritesZeroAndNothingWhenBroken) {
    RecordingOwner owner;
    InstanceRecord record{0, &owner};
    int32_t word = 1234;
    Service<service::ClearResultWord>(20)(&record, 7, &word);
    EXPECT_EQ(word, 0);
    word = 1234;
    Service<service::ClearResultWord>(20)(nullptr, 7, &word);
    EXPECT_EQ(word, 1234);
    Service<service::ClearResultWord>(20)(&record, 7, nullptr);  // must not crash
}

TEST(HostServices, FlushPaintingReachesTheOwnerAndSwallowsItsFailures) {
    RecordingOwner owner;
    InstanceRecord record{0, &owner};
    Service<service::FlushPainting>(21)(&record, 1, 2);
    EXPECT_EQ(owner.flushes, 1);
    owner.throwFromSlots = true;
    Service<service::FlushPainting>(21)(&record, 1, 2);
    EXPECT_EQ(owner.flushes, 2);
    Service<service::FlushPainting>(21)(nullptr, 1, 2);
    EXPECT_EQ(owner.flushes, 2);
}

TEST(HostServices, ASlotThatThrowsNeverReachesTheEngine) {
    RecordingOwner owner;
    owner.throwFromSlots = true;
    InstanceRecord record{0, &owner};
    EXPECT_EQ(Service<service::FourWords>(3)(&record, 1, 2, 3, 4), 4);
    EXPECT_EQ(Service<service::GetWindowHandle>(8)(&record), nullptr);
    EXPECT_EQ(Service<service::AskToKillScript>(12)(&record), 1);
}

TEST(HostServices, AllocateAndFreeShareTheHeap) {
    auto* block = static_cast<char*>(Service<service::Allocate>(0)(16));
    ASSERT_NE(block, nullptr);
    std::memset(block, 'x', 16);
    EXPECT_EQ(Service<service::Free>(1)(block), 0);
    EXPECT_EQ(Service<service::Free>(1)(nullptr), 0);
}

TEST(HostServices, JavaServicesWithoutVirtualMachineDoNothing) {
    RecordingOwner owner;
    InstanceRecord record{0, &owner};
    EXPECT_EQ(Service<service::Trace>(10)(nullptr, "text"), 2);
    EXPECT_EQ(Service<service::Trace>(10)(&record, nullptr), 0);
    EXPECT_EQ(Service<service::Trace>(10)(&record, "text"), 0);
    char* reply = reinterpret_cast<char*>(&owner);
    EXPECT_EQ(Service<service::CallFunction>(22)(&record, "request", &reply), 0);
    EXPECT_EQ(reply, reinterpret_cast<char*>(&owner));  // not written
}
