#pragma once
// Message boxes that record instead of showing, so a test can assert the exact text and caption.
#include "platform/MessageBoxes.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

class RecordingMessageBoxes : public platform::MessageBoxes {
  public:
    void Show(const platform::Message& message) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(message);
    }

    std::vector<platform::Message> All() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    // Texts only, in the order shown.
    std::vector<std::string> Texts() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> texts;
        for (const auto& message : m_messages)
            texts.push_back(message.text);
        return texts;
    }
    // The last message; an empty one (and a test failure) when none was shown.
    platform::Message Last() const {
        std::lock_guard lock(m_mutex);
        if (m_messages.empty())
            ADD_FAILURE() << "no message was shown";
        return m_messages.empty() ? platform::Message{} : m_messages.back();
    }
    size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_messages.size();
    }
    bool Empty() const { return Count() == 0; }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

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
