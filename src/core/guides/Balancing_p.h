#pragma once

#include "core/guides/X12GuideLoops.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kelvane::detail::guides {

/// The amounts of a claim or a payment that must add up, checked as a set's segments go by:
/// - an 837 claim's charge (CLM02) is the sum of its service lines' charges (SV102, SV203, SV302);
/// - an 835 claim's charge less its payment (CLP03 - CLP04) is the sum of its adjustments, at the
///   claim and at its service lines (CAS03, CAS06...);
/// - an 835's payment (BPR02) is the sum of its claims' payments less the provider adjustments
///   (PLB04, PLB06...).
/// Amounts that are not numbers are left to the element checks.
class Balancing
{
public:
    /// Starts a set of transaction set type `set` ("837", "835"; others check nothing).
    void startSet(std::string_view set) noexcept;
    /// A segment of the set, with its tag as packTag() packs it and its elements.
    void segment(std::uint32_t position, std::uint32_t tag,
                 std::span<const std::string_view> values, std::string_view loop,
                 std::vector<X12GuideFinding> &findings);
    /// The set ended: checks what is still open.
    void endSet(std::vector<X12GuideFinding> &findings);

private:
    struct Claim
    {
        bool open = false;
        bool known = true; // every amount read was a number
        std::uint32_t position = 0;
        std::string_view loop;
        std::string_view charge; // CLM02 or CLP03, as written
        std::string_view paid;   // CLP04
        double expected = 0;     // what the parts must add up to
        double parts = 0;
        int lines = 0;
    };

    void endClaim(std::vector<X12GuideFinding> &findings);
    double amount(std::string_view text, bool &known) const noexcept;

    enum class Kind : std::uint8_t { none, claims, payments } m_kind = Kind::none;
    Claim m_claim;
    // The 835's payment and what it must equal.
    std::uint32_t m_paymentPosition = 0;
    std::string_view m_payment;
    bool m_paymentKnown = true;
    double m_claimsPaid = 0;
    double m_providerAdjustments = 0;
};

} // namespace kelvane::detail::guides
