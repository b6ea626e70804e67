// The adapter session: open, poll, close and raw byte transfers.
#include "Comm.h"

namespace rvz {

bool TComm::OpenAdapter()
{
    std::uint32_t count = 0;
    // The count is the only sign that an adapter went away, so it runs on
    // every poll even while a session is open.
    if (m_bridge.GetNumDevices(&count) != kBridgeSuccess) {
        CloseAdapter();
        return false;
    }
    if (m_adapterHandle != kNullHandle)
        return true;

    m_bridge.SetTimeouts(kAdapterTimeoutMs, kAdapterTimeoutMs);
    if (m_bridge.Open(0, &m_adapterHandle) != kBridgeSuccess) {
        CloseAdapter();
        return false;
    }
    return m_adapterHandle != kNullHandle;
}

void TComm::CloseAdapter()
{
    if (m_adapterHandle == kNullHandle)
        return;
    m_bridge.Close(m_adapterHandle);
    m_adapterHandle = kNullHandle;
    // Whatever the servo last said belongs to the closed session.
    m_linkVerified = false;
}

std::int32_t TComm::AdapterRead(std::span<std::uint8_t> buffer)
{
    if (m_adapterHandle == kNullHandle || buffer.empty())
        return 0;
    std::uint32_t received = 0;
    if (m_bridge.Read(m_adapterHandle, buffer, &received) != kBridgeSuccess)
        return 0;
    // A layer that claims more than it was asked for is answering garbage.
    if (received > buffer.size())
        return 0;
    return static_cast<std::int32_t>(received);
}

bool TComm::AdapterWrite(std::span<const std::uint8_t> buffer)
{
    if (m_adapterHandle == kNullHandle || buffer.empty())
        return false;
    // A late reply to an earlier, failed exchange must not be taken for the
    // reply to this command.
    m_bridge.FlushBuffers(m_adapterHandle, kFlushBuffer, kFlushBuffer);
    std::uint32_t written = 0;
    if (m_bridge.Write(m_adapterHandle, buffer, &written) != kBridgeSuccess)
        return false;
    return written == buffer.size();
}

}  // namespace rvz
