#include "core/guides/Balancing_p.h"

#include "core/guides/ElementCheck_p.h"
#include "core/guides/GuideTable_p.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace kelvane::detail::guides {

namespace {

std::string_view at(std::span<const std::string_view> values, std::size_t index) noexcept
{
    return index < values.size() ? values[index] : std::string_view();
}

/// Cents apart or more.
bool differ(double a, double b) noexcept
{
    return std::fabs(a - b) >= 0.005;
}

std::string money(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

void add(std::vector<X12GuideFinding> &findings, std::uint32_t position, std::string element,
         std::string_view loop, std::string message)
{
    X12GuideFinding finding{
        X12Finding::Severity::error, position, std::move(element), loop, {}, {}, {},
        std::move(message)};
    findings.push_back(std::move(finding));
}

} // namespace

double Balancing::amount(std::string_view text, bool &known) const noexcept
{
    if (text.empty())
        return 0;
    if (!isDecimal(text) || text.find('E') != std::string_view::npos) {
        known = false;
        return 0;
    }
    double value = 0;
    const char *begin = text.data() + (text.front() == '-' ? 1 : 0);
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        known = false;
        return 0;
    }
    return text.front() == '-' ? -value : value;
}

void Balancing::startSet(std::string_view set) noexcept
{
    m_kind = set == "837" ? Kind::claims : set == "835" ? Kind::payments : Kind::none;
    m_claim = {};
    m_paymentPosition = 0;
    m_payment = {};
    m_paymentKnown = true;
    m_claimsPaid = 0;
    m_providerAdjustments = 0;
}

void Balancing::segment(std::uint32_t position, std::uint32_t tag,
                        std::span<const std::string_view> values, std::string_view loop,
                        std::vector<X12GuideFinding> &findings)
{
    if (m_kind == Kind::none)
        return;
    if (m_kind == Kind::claims) {
        if (tag == packTag("CLM") || tag == packTag("HL"))
            endClaim(findings);
        if (tag == packTag("CLM")) {
            m_claim = {true, true, position, loop, at(values, 1), {}, 0, 0, 0};
            m_claim.expected = amount(m_claim.charge, m_claim.known);
            m_claim.known = m_claim.known && !m_claim.charge.empty();
        } else if (m_claim.open &&
                   (tag == packTag("SV1") || tag == packTag("SV2") || tag == packTag("SV3"))) {
            m_claim.parts += amount(at(values, tag == packTag("SV2") ? 2 : 1), m_claim.known);
            ++m_claim.lines;
        }
        return;
    }
    if (tag == packTag("CLP") || tag == packTag("LX") || tag == packTag("PLB"))
        endClaim(findings);
    if (tag == packTag("BPR")) {
        m_paymentPosition = position;
        m_payment = at(values, 1);
        amount(m_payment, m_paymentKnown);
    } else if (tag == packTag("CLP")) {
        m_claim = {true, true, position, loop, at(values, 2), at(values, 3), 0, 0, 0};
        m_claim.expected =
            amount(m_claim.charge, m_claim.known) - amount(m_claim.paid, m_claim.known);
        m_claimsPaid += amount(m_claim.paid, m_paymentKnown);
    } else if (tag == packTag("CAS") && m_claim.open) {
        for (std::size_t i = 2; i < values.size(); i += 3)
            m_claim.parts += amount(values[i], m_claim.known);
    } else if (tag == packTag("PLB")) {
        for (std::size_t i = 3; i < values.size(); i += 2)
            m_providerAdjustments += amount(values[i], m_paymentKnown);
    }
}

void Balancing::endClaim(std::vector<X12GuideFinding> &findings)
{
    if (!m_claim.open)
        return;
    m_claim.open = false;
    if (!m_claim.known || !differ(m_claim.expected, m_claim.parts))
        return;
    if (m_kind == Kind::claims) {
        if (m_claim.lines > 0)
            add(findings, m_claim.position, "CLM02", m_claim.loop,
                "CLM02 " + std::string(m_claim.charge) +
                    " is not the sum of the claim's service line charges, " + money(m_claim.parts));
        return;
    }
    add(findings, m_claim.position, "CLP03", m_claim.loop,
        "CLP03 " + std::string(m_claim.charge) + " less CLP04 " + std::string(m_claim.paid) +
            " is " + money(m_claim.expected) + "; the claim's adjustments (CAS) add up to " +
            money(m_claim.parts));
}

void Balancing::endSet(std::vector<X12GuideFinding> &findings)
{
    endClaim(findings);
    if (m_kind != Kind::payments || m_paymentPosition == 0 || m_payment.empty() || !m_paymentKnown)
        return;
    bool known = true;
    const double payment = amount(m_payment, known);
    const double expected = m_claimsPaid - m_providerAdjustments;
    if (known && differ(payment, expected))
        add(findings, m_paymentPosition, "BPR02", {},
            "BPR02 " + std::string(m_payment) +
                " is not the claims' payments (CLP04) less the provider adjustments (PLB), " +
                money(expected));
    m_kind = Kind::none;
}

} // namespace kelvane::detail::guides
