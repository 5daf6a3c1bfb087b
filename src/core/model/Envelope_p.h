#pragma once

// The envelope segments' elements that the parser checks and the tree's texts show, counted as
// X12Segment::element() counts them: from 0, so ISA13 is element(12). The names give the
// element's reference, for the messages that quote it.

#include <cstddef>

namespace kelvane::detail::envelope {

/// An ISA header written to its fixed layout is this many characters, its terminator included.
constexpr std::size_t isaLength = 106;

constexpr std::size_t isaSender = 5;     // ISA06, the interchange sender ID
constexpr std::size_t isaReceiver = 7;   // ISA08
constexpr std::size_t isaDate = 8;       // ISA09
constexpr std::size_t isaVersion = 11;   // ISA12, the interchange control version
constexpr std::size_t isaControl = 12;   // ISA13, the interchange control number
constexpr std::size_t isaUsage = 14;     // ISA15, production or test
constexpr std::size_t isaComponent = 15; // ISA16, the component separator

constexpr std::size_t gsFunction = 0; // GS01, the functional identifier code
constexpr std::size_t gsSender = 1;   // GS02
constexpr std::size_t gsReceiver = 2; // GS03
constexpr std::size_t gsDate = 3;     // GS04
constexpr std::size_t gsControl = 5;  // GS06, the group control number
constexpr std::size_t gsVersion = 7;  // GS08, the version, release and guide

constexpr std::size_t stCode = 0;    // ST01, the transaction set code
constexpr std::size_t stControl = 1; // ST02, the set control number
constexpr std::size_t stVersion = 2; // ST03, the guide the set follows

// The trailers IEA, GE and SE alike.
constexpr std::size_t trailerCount = 0;   // IEA01, GE01, SE01: what the envelope holds
constexpr std::size_t trailerControl = 1; // IEA02, GE02, SE02: the header's control number

} // namespace kelvane::detail::envelope
