#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace velkan::test {

// Bytes of a variable-length quantity.
inline std::string vlq(std::uint32_t value)
{
    std::string out(1, static_cast<char>(value & 0x7F));
    while (value >>= 7)
        out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
    return out;
}

inline std::string bytes(std::initializer_list<int> list)
{
    std::string out;
    for (int b : list)
        out.push_back(static_cast<char>(b));
    return out;
}

inline std::string be32(std::uint32_t v)
{
    return bytes({int(v >> 24 & 0xFF), int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)});
}

// One track's events, each after its own delta-time.
class TrackBuilder {
public:
    TrackBuilder &event(std::uint32_t delta, const std::string &raw)
    {
        m_events += vlq(delta) + raw;
        return *this;
    }
    // Bytes as they are, delta-time included.
    TrackBuilder &raw(const std::string &raw)
    {
        m_events += raw;
        return *this;
    }
    TrackBuilder &meta(std::uint32_t delta, int type, const std::string &data)
    {
        return event(delta,
                     bytes({0xFF, type}) + vlq(static_cast<std::uint32_t>(data.size())) + data);
    }
    TrackBuilder &tempo(std::uint32_t delta, std::uint32_t us)
    {
        return meta(delta, 0x51,
                    bytes({int(us >> 16 & 0xFF), int(us >> 8 & 0xFF), int(us & 0xFF)}));
    }
    TrackBuilder &timeSignature(std::uint32_t delta, int numerator, int exponent)
    {
        return meta(delta, 0x58, bytes({numerator, exponent, 24, 8}));
    }
    TrackBuilder &text(std::uint32_t delta, const std::string &text)
    {
        return meta(delta, 0x01, text);
    }
    TrackBuilder &lyric(std::uint32_t delta, const std::string &text)
    {
        return meta(delta, 0x05, text);
    }
    TrackBuilder &note(std::uint32_t delta, int key)
    {
        return event(delta, bytes({0x90, key, 100}));
    }
    TrackBuilder &endOfTrack(std::uint32_t delta = 0) { return meta(delta, 0x2F, {}); }

    const std::string &events() const { return m_events; }
    std::string chunk() const
    {
        return "MTrk" + be32(static_cast<std::uint32_t>(m_events.size())) + m_events;
    }

private:
    std::string m_events;
};

inline std::string smfHeader(int format, int tracks, int division)
{
    return "MThd" + be32(6) +
           bytes({format >> 8, format & 0xFF, tracks >> 8, tracks & 0xFF, division >> 8 & 0xFF,
                  division & 0xFF});
}

inline std::string smf(int division, const std::vector<TrackBuilder> &tracks)
{
    std::string out =
        smfHeader(tracks.size() > 1 ? 1 : 0, static_cast<int>(tracks.size()), division);
    for (const TrackBuilder &t : tracks)
        out += t.chunk();
    return out;
}

inline std::string le32(std::uint32_t v)
{
    return bytes({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24 & 0xFF)});
}

// A RIFF RMID image around a MIDI file, with a chunk before the data chunk
// as some writers put one there.
inline std::string rmid(const std::string &midi)
{
    const std::string list = "LIST" + le32(5) + "INFOx" + std::string(1, '\0');
    const std::string data = "data" + le32(static_cast<std::uint32_t>(midi.size())) + midi;
    const std::string body = "RMID" + list + data;
    return "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body;
}

} // namespace velkan::test
