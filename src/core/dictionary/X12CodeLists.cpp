// Code lists: what the coded values of common elements mean, and which list or formatter serves
// which element.

#include "core/dictionary/Dictionary_p.h"

#include <array>
#include <cstdio>
#include <unordered_map>
#include <vector>

namespace {

using kelvane::detail::Entry;
using kelvane::detail::makeTable;

constexpr std::array entityIdentifierCodes{
    Entry{"41", "Submitter"},
    Entry{"40", "Receiver"},
    Entry{"85", "Billing Provider"},
    Entry{"87", "Pay-to Provider"},
    Entry{"IL", "Insured / Subscriber"},
    Entry{"QC", "Patient"},
    Entry{"PR", "Payer"},
    Entry{"DN", "Referring Provider"},
    Entry{"82", "Rendering Provider"},
    Entry{"77", "Service Facility Location"},
    Entry{"DK", "Ordering Provider"},
    Entry{"P3", "Primary Care Provider"},
    Entry{"1P", "Provider"},
    Entry{"2B", "Third-Party Administrator"},
    Entry{"36", "Employer"},
    Entry{"80", "Hospital"},
    Entry{"FA", "Facility"},
    Entry{"TT", "Transfer To Location"},
    Entry{"PW", "Pickup Address"},
    Entry{"45", "Drop-off Location"},
    Entry{"71", "Attending Physician"},
    Entry{"72", "Operating Physician"},
    Entry{"73", "Other Physician"},
    Entry{"ZZ", "Mutually Defined"},
    Entry{"AY", "Clearinghouse"},
    Entry{"PE", "Payee"},
    Entry{"GB", "Other Insured"},
    Entry{"IN", "Insurer"},
    Entry{"03", "Dependent"},
    Entry{"13", "Contracted Service Provider"},
    Entry{"TL", "Testing Laboratory"},
};

constexpr std::array entityTypeQualifierCodes{
    Entry{"1", "Person"},
    Entry{"2", "Non-Person Entity"},
};

constexpr std::array idCodeQualifierCodes{
    Entry{"XX", "NPI"},
    Entry{"MI", "Member ID"},
    Entry{"II", "Standard Unique Health Identifier"},
    Entry{"PI", "Payer Identification"},
    Entry{"FI", "Federal Tax ID"},
    Entry{"SV", "Service Provider Number"},
    Entry{"34", "Social Security Number"},
    Entry{"24", "Employer's Identification Number"},
    Entry{"46", "ETIN"},
    Entry{"NI", "NAIC Identification"},
    Entry{"PC", "Provider Commercial Number"},
    Entry{"LU", "Location Number"},
    Entry{"EI", "Employer ID Number"},
    Entry{"ZZ", "Mutually Defined"},
};

constexpr std::array claimStatusCodes{
    Entry{"1", "Processed as Primary"},
    Entry{"2", "Processed as Secondary"},
    Entry{"3", "Processed as Tertiary"},
    Entry{"4", "Denied"},
    Entry{"5", "Processed as Primary, Forwarded"},
    Entry{"6", "Processed as Secondary, Forwarded"},
    Entry{"7", "Processed as Tertiary, Forwarded"},
    Entry{"10", "Received, Not in Process"},
    Entry{"13", "Suspended"},
    Entry{"15", "Suspended - Investigation with Field"},
    Entry{"16", "Suspended - Return with Material"},
    Entry{"17", "Suspended - Review Pending"},
    Entry{"19", "Processed as Primary, Forwarded"},
    Entry{"20", "Processed as Secondary, Forwarded"},
    Entry{"21", "Processed as Tertiary, Forwarded"},
    Entry{"22", "Reversal of Previous Payment"},
    Entry{"23", "Not Our Claim, Forwarded"},
    Entry{"25", "Predetermination Pricing Only"},
};

constexpr std::array adjustmentGroupCodes{
    Entry{"CO", "Contractual Obligation"}, Entry{"CR", "Correction and Reversal"},
    Entry{"OA", "Other Adjustment"},       Entry{"PI", "Payer Initiated Reduction"},
    Entry{"PR", "Patient Responsibility"},
};

constexpr std::array hierarchicalLevelCodes{
    Entry{"20", "Information Source"},  Entry{"21", "Information Receiver"},
    Entry{"22", "Subscriber"},          Entry{"23", "Dependent"},
    Entry{"19", "Provider of Service"}, Entry{"PT", "Patient"},
};

constexpr std::array relationshipCodes{
    Entry{"01", "Spouse"},        Entry{"18", "Self"},         Entry{"19", "Child"},
    Entry{"20", "Employee"},      Entry{"21", "Unknown"},      Entry{"39", "Organ Donor"},
    Entry{"40", "Cadaver Donor"}, Entry{"53", "Life Partner"}, Entry{"G8", "Other Relationship"},
};

constexpr std::array payerResponsibilityCodes{
    Entry{"P", "Primary"},  Entry{"S", "Secondary"},
    Entry{"T", "Tertiary"}, Entry{"A", "Payer Responsibility Four"},
    Entry{"U", "Unknown"},
};

constexpr std::array claimFilingIndicatorCodes{
    Entry{"11", "Other Non-Federal Programs"},
    Entry{"12", "PPO"},
    Entry{"13", "POS"},
    Entry{"14", "EPO"},
    Entry{"15", "Indemnity Insurance"},
    Entry{"16", "HMO Medicare Risk"},
    Entry{"17", "Dental Maintenance Org"},
    Entry{"AM", "Automobile Medical"},
    Entry{"BL", "Blue Cross/Blue Shield"},
    Entry{"CH", "CHAMPUS"},
    Entry{"CI", "Commercial Insurance Co."},
    Entry{"DS", "Disability"},
    Entry{"FI", "Federal Employees Program"},
    Entry{"HM", "Health Maintenance Organization"},
    Entry{"LM", "Liability Medical"},
    Entry{"MA", "Medicare Part A"},
    Entry{"MB", "Medicare Part B"},
    Entry{"MC", "Medicaid"},
    Entry{"OF", "Other Federal Program"},
    Entry{"TV", "Title V"},
    Entry{"VA", "Veterans Affairs Plan"},
    Entry{"WC", "Workers' Compensation"},
    Entry{"ZZ", "Mutually Defined"},
};

constexpr std::array genderCodeCodes{
    Entry{"M", "Male"},
    Entry{"F", "Female"},
    Entry{"U", "Unknown"},
};

constexpr std::array dtpQualifierCodes{
    Entry{"096", "Discharge"},
    Entry{"232", "Statement From"},
    Entry{"233", "Statement To"},
    Entry{"434", "Statement Period"},
    Entry{"435", "Admission"},
    Entry{"439", "Accident"},
    Entry{"472", "Service Date"},
    Entry{"471", "Prescription"},
    Entry{"484", "Last Menstrual Period"},
    Entry{"573", "Date Claim Paid"},
    Entry{"050", "Received"},
    Entry{"090", "Report Start"},
    Entry{"091", "Report End"},
    Entry{"150", "Service Period Start"},
    Entry{"151", "Service Period End"},
    Entry{"356", "Eligibility Begin"},
    Entry{"357", "Eligibility End"},
    Entry{"307", "Eligibility"},
    Entry{"348", "Benefit Begin"},
    Entry{"349", "Benefit End"},
    Entry{"431", "Onset of Current Illness"},
    Entry{"454", "Initial Treatment"},
    Entry{"304", "Latest Visit or Consultation"},
    Entry{"453", "Acute Manifestation"},
    Entry{"455", "Last X-Ray"},
    Entry{"471E", "Prescription"},
};

constexpr std::array refQualifierCodes{
    Entry{"0B", "State License Number"},
    Entry{"1A", "Blue Cross Provider Number"},
    Entry{"1B", "Blue Shield Provider Number"},
    Entry{"1C", "Medicare Provider Number"},
    Entry{"1D", "Medicaid Provider Number"},
    Entry{"1G", "Provider UPIN Number"},
    Entry{"1H", "CHAMPUS Identification Number"},
    Entry{"1J", "Facility ID Number"},
    Entry{"1L", "Group or Policy Number"},
    Entry{"1W", "Member Identification Number"},
    Entry{"2U", "Payer Identification Number"},
    Entry{"6P", "Group Number"},
    Entry{"6R", "Provider Control Number"},
    Entry{"9A", "Repriced Claim Reference Number"},
    Entry{"9F", "Referral Number"},
    Entry{"BB", "Authorization Number"},
    Entry{"CE", "Class of Contract Code"},
    Entry{"D9", "Claim Number"},
    Entry{"EA", "Medical Record Identification Number"},
    Entry{"EI", "Employer's ID Number"},
    Entry{"EJ", "Patient Account Number"},
    Entry{"F8", "Original Reference Number"},
    Entry{"G1", "Prior Authorization Number"},
    Entry{"G2", "Provider Commercial Number"},
    Entry{"G3", "Predetermination of Benefits Identification Number"},
    Entry{"HPI", "NPI"},
    Entry{"LU", "Location Number"},
    Entry{"N5", "Provider Plan Network ID"},
    Entry{"SY", "Social Security Number"},
    Entry{"TJ", "Federal Taxpayer's Identification Number"},
    Entry{"IG", "Insurance Policy Number"},
    Entry{"CT", "Contract Number"},
};

constexpr std::array amtQualifierCodes{
    Entry{"AU", "Coverage Amount"},
    Entry{"B6", "Allowed - Actual"},
    Entry{"D", "Payer Amount Paid"},
    Entry{"F5", "Patient Amount Paid"},
    Entry{"T", "Tax"},
    Entry{"T2", "Total Claim Before Taxes"},
    Entry{"EAF", "Amount Owed"},
    Entry{"I", "Interest"},
    Entry{"NL", "Negative Ledger Balance"},
    Entry{"YTD", "Year to Date"},
    Entry{"A8", "Noncovered Charges"},
};

constexpr std::array qtyQualifierCodes{
    Entry{"CA", "Covered - Actual"},
    Entry{"CD", "Co-insured - Actual"},
    Entry{"LA", "Life-time Reserve - Actual"},
    Entry{"LE", "Life-time Reserve - Estimated"},
    Entry{"NE", "Non-Covered - Estimated"},
    Entry{"NR", "Not Replaced Blood Units"},
    Entry{"OU", "Outlier Days"},
    Entry{"PS", "Prescription"},
    Entry{"VS", "Visits"},
    Entry{"ZK", "Federal Medicare or Medicaid Payment Mandate - Category 1"},
    Entry{"99", "Quantity Used"},
};

constexpr std::array usageIndicatorCodes{
    Entry{"P", "Production"},
    Entry{"T", "Test"},
    Entry{"I", "Information"},
};

constexpr std::array paymentMethodCodes{
    Entry{"ACH", "Automated Clearing House"},
    Entry{"BOP", "Financial Institution Option"},
    Entry{"CHK", "Check"},
    Entry{"FWT", "Federal Reserve Funds/Wire Transfer"},
    Entry{"NON", "Non-Payment Data"},
};

constexpr std::array creditDebitCodes{
    Entry{"C", "Credit"},
    Entry{"D", "Debit"},
};

constexpr std::array transactionHandlingCodes{
    Entry{"C", "Payment Accompanies Remittance Advice"},
    Entry{"D", "Make Payment Only"},
    Entry{"H", "Notification Only"},
    Entry{"I", "Remittance Information Only"},
    Entry{"P", "Prenotification of Future Transfers"},
    Entry{"U", "Split Payment and Remittance"},
    Entry{"X", "Handling Party's Option"},
};

constexpr std::array yesNoCodes{
    Entry{"Y", "Yes"},
    Entry{"N", "No"},
    Entry{"U", "Unknown"},
    Entry{"W", "Not Applicable"},
};

constexpr std::array ackCodeCodes{
    Entry{"A", "Accepted"},
    Entry{"E", "Accepted, But Errors Were Noted"},
    Entry{"M", "Rejected, Message Authentication Failed"},
    Entry{"P", "Partially Accepted"},
    Entry{"R", "Rejected"},
    Entry{"W", "Rejected, Assurance Failed"},
    Entry{"X", "Rejected, Content After Decryption Could Not Be Analyzed"},
};

constexpr std::array prv01Codes{
    Entry{"BI", "Billing"},     Entry{"PE", "Performing"}, Entry{"AT", "Attending"},
    Entry{"OP", "Operating"},   Entry{"PT", "Pay-To"},     Entry{"RF", "Referring"},
    Entry{"SU", "Supervising"},
};

constexpr std::array trn01Codes{
    Entry{"1", "Current Transaction Trace Numbers"},
    Entry{"2", "Referenced Transaction Trace Numbers"},
};

constexpr std::array bht02Codes{
    Entry{"00", "Original"},
    Entry{"18", "Reissue"},
    Entry{"07", "Duplicate"},
    Entry{"01", "Cancellation"},
};

constexpr std::array bht06Codes{
    Entry{"CH", "Chargeable"},
    Entry{"RP", "Reporting"},
    Entry{"31", "Subrogation Demand"},
};

constexpr std::array per01Codes{
    Entry{"IC", "Information Contact"},
    Entry{"BL", "Technical Department"},
    Entry{"CX", "Payers Claim Office"},
    Entry{"AP", "Accounts Payable"},
};

constexpr std::array per03Codes{
    Entry{"TE", "Telephone"}, Entry{"FX", "Fax"}, Entry{"EM", "Email"},
    Entry{"EX", "Extension"}, Entry{"UR", "URL"}, Entry{"WP", "Work Phone"},
};

constexpr std::array per05Codes{
    Entry{"TE", "Telephone"}, Entry{"FX", "Fax"}, Entry{"EM", "Email"},
    Entry{"EX", "Extension"}, Entry{"UR", "URL"},
};

constexpr std::array per07Codes{
    Entry{"TE", "Telephone"}, Entry{"FX", "Fax"}, Entry{"EM", "Email"},
    Entry{"EX", "Extension"}, Entry{"UR", "URL"},
};

/// Each list is built on its first use, once, whichever thread asks first.
template <const auto &entries>
const X12Dictionary::CodeList &listOnce()
{
    static const X12Dictionary::CodeList list = makeTable(entries);
    return list;
}

} // namespace

namespace X12Dictionary {

const CodeList &entityIdentifier()
{
    return listOnce<entityIdentifierCodes>();
}

const CodeList &entityTypeQualifier()
{
    return listOnce<entityTypeQualifierCodes>();
}

const CodeList &idCodeQualifier()
{
    return listOnce<idCodeQualifierCodes>();
}

const CodeList &claimStatus()
{
    return listOnce<claimStatusCodes>();
}

const CodeList &adjustmentGroup()
{
    return listOnce<adjustmentGroupCodes>();
}

const CodeList &hierarchicalLevel()
{
    return listOnce<hierarchicalLevelCodes>();
}

const CodeList &relationship()
{
    return listOnce<relationshipCodes>();
}

const CodeList &payerResponsibility()
{
    return listOnce<payerResponsibilityCodes>();
}

const CodeList &claimFilingIndicator()
{
    return listOnce<claimFilingIndicatorCodes>();
}

const CodeList &genderCode()
{
    return listOnce<genderCodeCodes>();
}

const CodeList &dtpQualifier()
{
    return listOnce<dtpQualifierCodes>();
}

const CodeList &refQualifier()
{
    return listOnce<refQualifierCodes>();
}

const CodeList &amtQualifier()
{
    return listOnce<amtQualifierCodes>();
}

const CodeList &qtyQualifier()
{
    return listOnce<qtyQualifierCodes>();
}

const CodeList &usageIndicator()
{
    return listOnce<usageIndicatorCodes>();
}

const CodeList &paymentMethod()
{
    return listOnce<paymentMethodCodes>();
}

const CodeList &creditDebit()
{
    return listOnce<creditDebitCodes>();
}

const CodeList &transactionHandling()
{
    return listOnce<transactionHandlingCodes>();
}

const CodeList &yesNo()
{
    return listOnce<yesNoCodes>();
}

const CodeList &ackCode()
{
    return listOnce<ackCodeCodes>();
}

const std::unordered_map<std::string_view, const CodeList *> &codeLists()
{
    static const std::unordered_map<std::string_view, const CodeList *> table{
        {"NM101", &entityIdentifier()},
        {"ISA05", &idCodeQualifier()},
        {"NM102", &entityTypeQualifier()},
        {"ISA07", &idCodeQualifier()},
        {"NM108", &idCodeQualifier()},
        {"ISA15", &usageIndicator()},
        {"N101", &entityIdentifier()},
        {"GS01", &functionalGroups()},
        {"N103", &idCodeQualifier()},
        {"BPR01", &transactionHandling()},
        {"CLP02", &claimStatus()},
        {"BPR03", &creditDebit()},
        {"CLP06", &claimFilingIndicator()},
        {"BPR04", &paymentMethod()},
        {"CAS01", &adjustmentGroup()},
        {"CLM11", &yesNo()},
        {"HL03", &hierarchicalLevel()},
        {"CLM20", &yesNo()},
        {"SBR01", &payerResponsibility()},
        {"AK901", &ackCode()},
        {"SBR02", &relationship()},
        {"IK501", &ackCode()},
        {"SBR09", &claimFilingIndicator()},
        {"AK501", &ackCode()},
        {"PAT01", &relationship()},
        {"PRV01", &listOnce<prv01Codes>()},
        {"INS02", &relationship()},
        {"TRN01", &listOnce<trn01Codes>()},
        {"INS01", &yesNo()},
        {"BHT02", &listOnce<bht02Codes>()},
        {"DMG03", &genderCode()},
        {"BHT06", &listOnce<bht06Codes>()},
        {"DTP01", &dtpQualifier()},
        {"PER01", &listOnce<per01Codes>()},
        {"REF01", &refQualifier()},
        {"PER03", &listOnce<per03Codes>()},
        {"AMT01", &amtQualifier()},
        {"PER05", &listOnce<per05Codes>()},
        {"QTY01", &qtyQualifier()},
        {"PER07", &listOnce<per07Codes>()},
    };
    return table;
}

std::optional<std::string> decode(std::string_view tag, std::ptrdiff_t position,
                                  std::string_view value)
{
    if (const auto text = ElementVocabulary(tag).meaning(position, value))
        return std::string(*text);
    return std::nullopt;
}

std::optional<std::string> formatValue(std::string_view tag, std::ptrdiff_t position,
                                       std::string_view value)
{
    std::string text;
    if (!ElementVocabulary(tag).appendFormatted(text, position, value))
        return std::nullopt;
    return text;
}

} // namespace X12Dictionary

namespace kelvane::detail {

std::optional<std::string_view> meaning(const X12Dictionary::CodeList &list, std::string_view code)
{
    if (auto it = list.find(code); it != list.end())
        return it->second;
    return std::nullopt;
}

const std::unordered_map<std::string_view, Formatter> &formatters()
{
    static const std::unordered_map<std::string_view, Formatter> table = [] {
        std::unordered_map<std::string_view, Formatter> byReference;
        for (std::string_view reference : {"ISA09", "GS04", "BHT04", "DTP03", "DTM02", "BPR16",
                                           "DMG02", "TS303", "BGN03", "BIG01", "BEG05"})
            byReference.emplace(reference, Formatter::date);
        for (std::string_view reference : {"ISA10", "GS05", "BHT05", "DTM03", "BGN04"})
            byReference.emplace(reference, Formatter::time);
        for (std::string_view reference :
             {"BPR02", "CLM02", "CLP03", "CLP04", "CLP05", "SVC02", "SVC03", "SV102", "SV203",
              "SV302", "AMT02", "CAS03", "CAS06", "CAS09", "CAS12", "CAS15", "CAS18", "MOA02",
              "HCP02", "HCP03", "TS305", "PLB04", "PLB06", "TDS01", "RMR04"})
            byReference.emplace(reference, Formatter::amount);
        return byReference;
    }();
    return table;
}

bool appendFormatted(std::string &out, Formatter formatter, std::string_view value)
{
    switch (formatter) {
    case Formatter::date:
        return appendDate(out, value);
    case Formatter::time:
        return appendTime(out, value);
    case Formatter::amount:
        return appendAmount(out, value);
    case Formatter::none:
        return false;
    }
    return false;
}

} // namespace kelvane::detail
