#pragma once
// Message boxes that record instead of showing, so a test can assert the exact text and caption.
#include "platform/MessageBoxes.h"

#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

class RecordingMessageBoxes : public platform::MessageBoxes {
public:
    void Show(const platform::Message& message) override;

    std::vector<platform::Message> All() const;
    // Texts only, in the order shown.
    std::vector<std::string> Texts() const;
    // The last message; an empty one (and a test failure) when none was shown.
    platform::Message Last() const;
    size_t Count() const;
    bool Empty() const { return Count() == 0; }
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<platform::Message> m_messages;
};

// Installs itself for its lifetime and puts back what was installed before:
//   ScopedMessageRecorder messages; ...; EXPECT_EQ(messages.Last().text, "...");
class ScopedMessageRecorder : public RecordingMessageBoxes {
public:
    ScopedMessageRecorder() : m_previous(platform::SetMessageBoxes(this)) {}
    ~ScopedMessageRecorder() override { platform::SetMessageBoxes(m_previous); }
    ScopedMessageRecorder(const ScopedMessageRecorder&) = delete;
    ScopedMessageRecorder& operator=(const ScopedMessageRecorder&) = delete;

private:
    platform::MessageBoxes* m_previous;
};

} // namespace testing_support
