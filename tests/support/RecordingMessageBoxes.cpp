#include "RecordingMessageBoxes.h"

#include <gtest/gtest.h>

namespace testing_support {

void RecordingMessageBoxes::Show(const platform::Message& message)
{
    std::lock_guard lock(m_mutex);
    m_messages.push_back(message);
}

std::vector<platform::Message> RecordingMessageBoxes::All() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> RecordingMessageBoxes::Texts() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> texts;
    for (const auto& message : m_messages)
        texts.push_back(message.text);
    return texts;
}

platform::Message RecordingMessageBoxes::Last() const
{
    std::lock_guard lock(m_mutex);
    if (m_messages.empty()) {
        ADD_FAILURE() << "no message was shown";
        return {};
    }
    return m_messages.back();
}

size_t RecordingMessageBoxes::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_messages.size();
}

void RecordingMessageBoxes::Clear()
{
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

} // namespace testing_support
