// Anonymous pipes: the channel to an engine process.
#include <Platform.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Pipe {
    Pipe() { created = CreatePipe(&readEnd, &writeEnd, nullptr, 0) != FALSE; }
    ~Pipe() {
        if (readEnd) CloseHandle(readEnd);
        if (writeEnd) CloseHandle(writeEnd);
    }
    void Close(HANDLE& end) {
        CloseHandle(end);
        end = nullptr;
    }
    bool created = false;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
};

std::string Read(HANDLE end, DWORD most) {
    std::string text(most, '\0');
    DWORD read = 0;
    if (!ReadFile(end, &text[0], most, &read, nullptr)) return "<failed>";
    text.resize(read);
    return text;
}

DWORD Available(HANDLE end) {
    DWORD available = 0xFFFF;
    return PeekNamedPipe(end, nullptr, 0, nullptr, &available, nullptr) ? available : 0xFFFFFFFF;
}

}  // namespace

TEST(Pipes, BytesArriveInOrderAndPeekingCountsThem) {
    Pipe pipe;
    ASSERT_TRUE(pipe.created);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(pipe.writeEnd, "hello", 5, &written, nullptr));
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(Available(pipe.readEnd), 5u);
    EXPECT_EQ(Read(pipe.readEnd, 3), "hel");
    EXPECT_EQ(Available(pipe.readEnd), 2u);
    EXPECT_EQ(Read(pipe.readEnd, 10), "lo");  // a read gives what is there
    EXPECT_EQ(Available(pipe.readEnd), 0u);
}

TEST(Pipes, ReadsEndOnceTheWriterIsGoneAndTheBytesAreRead) {
    Pipe pipe;
    ASSERT_TRUE(pipe.created);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(pipe.writeEnd, "x", 1, &written, nullptr));
    pipe.Close(pipe.writeEnd);
    EXPECT_EQ(Read(pipe.readEnd, 4), "x");
    DWORD read = 7;
    char byte;
    EXPECT_FALSE(ReadFile(pipe.readEnd, &byte, 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(Available(pipe.readEnd), 0xFFFFFFFFu);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

TEST(Pipes, WritingWhenNobodyCanReadFails) {
    Pipe pipe;
    ASSERT_TRUE(pipe.created);
    pipe.Close(pipe.readEnd);
    DWORD written = 7;
    EXPECT_FALSE(WriteFile(pipe.writeEnd, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_DATA));
}

TEST(Pipes, AMegabyteInPiecesArrivesWhole) {
    Pipe pipe;
    ASSERT_TRUE(pipe.created);
    std::vector<char> sent(1 << 20);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 251);
    std::vector<char> received;
    const DWORD piece = 4000;  // within what any pipe holds
    for (size_t at = 0; at < sent.size(); at += piece) {
        DWORD length = static_cast<DWORD>(std::min<size_t>(piece, sent.size() - at));
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(pipe.writeEnd, sent.data() + at, length, &written, nullptr));
        ASSERT_EQ(written, length);
        while (received.size() < at + length) {
            char buffer[piece];
            DWORD read = 0;
            ASSERT_TRUE(ReadFile(pipe.readEnd, buffer, piece, &read, nullptr));
            received.insert(received.end(), buffer, buffer + read);
        }
    }
    EXPECT_TRUE(received == sent);
}

TEST(Pipes, AWriteLargerThanThePipeCompletesWhileTheOtherSideReads) {
    Pipe pipe;
    ASSERT_TRUE(pipe.created);
    std::vector<char> sent(1 << 20);
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 251);
    BOOL wroteAll = FALSE;
    DWORD written = 0;
    std::thread writer([&] { wroteAll = WriteFile(pipe.writeEnd, sent.data(), 1 << 20, &written, nullptr); });
    std::vector<char> received;
    while (received.size() < sent.size()) {
        char buffer[8192];
        DWORD read = 0;
        if (!ReadFile(pipe.readEnd, buffer, sizeof buffer, &read, nullptr)) break;
        received.insert(received.end(), buffer, buffer + read);
    }
    writer.join();
    EXPECT_TRUE(wroteAll);
    EXPECT_EQ(written, 1u << 20);
    EXPECT_TRUE(received == sent);
}
