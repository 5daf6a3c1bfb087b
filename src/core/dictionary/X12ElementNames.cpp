// The names of the elements of each segment the dictionary knows, by position.

#include "core/dictionary/X12Dictionary.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace {

struct ElementRange
{
    std::string_view tag;
    std::uint16_t first; // index into elementNameList
    std::uint16_t count;
};

constexpr std::array elementNameList{
    // ISA
    std::string_view{"Authorization Info Qualifier"},
    std::string_view{"Authorization Information"},
    std::string_view{"Security Info Qualifier"},
    std::string_view{"Security Information"},
    std::string_view{"Sender ID Qualifier"},
    std::string_view{"Interchange Sender ID"},
    std::string_view{"Receiver ID Qualifier"},
    std::string_view{"Interchange Receiver ID"},
    std::string_view{"Interchange Date"},
    std::string_view{"Interchange Time"},
    std::string_view{"Repetition Separator"},
    std::string_view{"Control Version Number"},
    std::string_view{"Interchange Control Number"},
    std::string_view{"Acknowledgment Requested"},
    std::string_view{"Usage Indicator"},
    std::string_view{"Component Separator"},
    // IEA
    std::string_view{"Number of Included Groups"},
    std::string_view{"Interchange Control Number"},
    // GS
    std::string_view{"Functional Identifier Code"},
    std::string_view{"Application Sender's Code"},
    std::string_view{"Application Receiver's Code"},
    std::string_view{"Date"},
    std::string_view{"Time"},
    std::string_view{"Group Control Number"},
    std::string_view{"Responsible Agency Code"},
    std::string_view{"Version / Release / Industry Identifier"},
    // GE
    std::string_view{"Number of Transaction Sets"},
    std::string_view{"Group Control Number"},
    // ST
    std::string_view{"Transaction Set Identifier Code"},
    std::string_view{"Transaction Set Control Number"},
    std::string_view{"Implementation Convention Reference"},
    // SE
    std::string_view{"Number of Included Segments"},
    std::string_view{"Transaction Set Control Number"},
    // BHT
    std::string_view{"Hierarchical Structure Code"},
    std::string_view{"Transaction Set Purpose Code"},
    std::string_view{"Reference Identification"},
    std::string_view{"Date"},
    std::string_view{"Time"},
    std::string_view{"Transaction Type Code"},
    // BPR
    std::string_view{"Transaction Handling Code"},
    std::string_view{"Total Actual Provider Payment Amount"},
    std::string_view{"Credit or Debit Flag Code"},
    std::string_view{"Payment Method Code"},
    std::string_view{"Payment Format Code"},
    std::string_view{"Sender DFI ID Qualifier"},
    std::string_view{"Sender DFI Identifier"},
    std::string_view{"Sender Account Qualifier"},
    std::string_view{"Sender Bank Account Number"},
    std::string_view{"Payer Identifier"},
    std::string_view{"Originating Company Code"},
    std::string_view{"Receiver DFI ID Qualifier"},
    std::string_view{"Receiver DFI Identifier"},
    std::string_view{"Receiver Account Qualifier"},
    std::string_view{"Receiver Bank Account Number"},
    std::string_view{"Check Issue or EFT Effective Date"},
    // TRN
    std::string_view{"Trace Type Code"},
    std::string_view{"Reference Identification"},
    std::string_view{"Originating Company Identifier"},
    std::string_view{"Reference Identification"},
    // CUR
    std::string_view{"Entity Identifier Code"},
    std::string_view{"Currency Code"},
    // REF
    std::string_view{"Reference Identification Qualifier"},
    std::string_view{"Reference Identification"},
    std::string_view{"Description"},
    std::string_view{"Reference Identifier"},
    // PER
    std::string_view{"Contact Function Code"},
    std::string_view{"Name"},
    std::string_view{"Communication Number Qualifier"},
    std::string_view{"Communication Number"},
    std::string_view{"Communication Number Qualifier"},
    std::string_view{"Communication Number"},
    std::string_view{"Communication Number Qualifier"},
    std::string_view{"Communication Number"},
    std::string_view{"Contact Inquiry Reference"},
    // N1
    std::string_view{"Entity Identifier Code"},
    std::string_view{"Name"},
    std::string_view{"Identification Code Qualifier"},
    std::string_view{"Identification Code"},
    // N2
    std::string_view{"Name"},
    // N3
    std::string_view{"Address Line 1"},
    std::string_view{"Address Line 2"},
    // N4
    std::string_view{"City"},
    std::string_view{"State or Province"},
    std::string_view{"Postal Code"},
    std::string_view{"Country Code"},
    std::string_view{"Location Qualifier"},
    std::string_view{"Location Identifier"},
    std::string_view{"Country Subdivision Code"},
    // NM1
    std::string_view{"Entity Identifier Code"},
    std::string_view{"Entity Type Qualifier"},
    std::string_view{"Last Name or Organization"},
    std::string_view{"First Name"},
    std::string_view{"Middle Name"},
    std::string_view{"Name Prefix"},
    std::string_view{"Name Suffix"},
    std::string_view{"Identification Code Qualifier"},
    std::string_view{"Identification Code"},
    std::string_view{"Entity Relationship Code"},
    std::string_view{"Entity Identifier Code"},
    std::string_view{"Name Last or Organization"},
    // HL
    std::string_view{"Hierarchical ID Number"},
    std::string_view{"Hierarchical Parent ID Number"},
    std::string_view{"Hierarchical Level Code"},
    std::string_view{"Hierarchical Child Code"},
    // PRV
    std::string_view{"Provider Code"},
    std::string_view{"Reference Identification Qualifier"},
    std::string_view{"Reference Identification"},
    std::string_view{"State or Province Code"},
    std::string_view{"Provider Specialty Information"},
    std::string_view{"Provider Organization Code"},
    // SBR
    std::string_view{"Payer Responsibility Sequence Number"},
    std::string_view{"Individual Relationship Code"},
    std::string_view{"Reference Identification"},
    std::string_view{"Name"},
    std::string_view{"Insurance Type Code"},
    std::string_view{"Coordination of Benefits Code"},
    std::string_view{"Yes/No Condition Code"},
    std::string_view{"Employment Status Code"},
    std::string_view{"Claim Filing Indicator Code"},
    // PAT
    std::string_view{"Individual Relationship Code"},
    std::string_view{"Patient Location Code"},
    std::string_view{"Employment Status Code"},
    std::string_view{"Student Status Code"},
    std::string_view{"Date Time Period Format Qualifier"},
    std::string_view{"Date Time Period"},
    std::string_view{"Unit or Basis for Measurement"},
    std::string_view{"Weight"},
    std::string_view{"Pregnancy Indicator"},
    // DMG
    std::string_view{"Date Time Period Format Qualifier"},
    std::string_view{"Date of Birth"},
    std::string_view{"Gender Code"},
    std::string_view{"Marital Status Code"},
    std::string_view{"Composite Race or Ethnicity"},
    std::string_view{"Citizenship Status Code"},
    // INS
    std::string_view{"Yes/No Condition (Insured)"},
    std::string_view{"Individual Relationship Code"},
    std::string_view{"Maintenance Type Code"},
    std::string_view{"Maintenance Reason Code"},
    std::string_view{"Benefit Status Code"},
    std::string_view{"Medicare Plan Code"},
    std::string_view{"COBRA Qualifying Event Code"},
    std::string_view{"Employment Status Code"},
    std::string_view{"Student Status Code"},
    std::string_view{"Handicap Indicator"},
    // DTP
    std::string_view{"Date/Time Qualifier"},
    std::string_view{"Date Time Period Format Qualifier"},
    std::string_view{"Date Time Period"},
    // DTM
    std::string_view{"Date/Time Qualifier"},
    std::string_view{"Date"},
    std::string_view{"Time"},
    // CLM
    std::string_view{"Patient Control Number"},
    std::string_view{"Total Claim Charge Amount"},
    std::string_view{"Claim Filing Indicator"},
    std::string_view{"Non-Institutional Claim Type"},
    std::string_view{"Place of Service / Facility Code"},
    std::string_view{"Yes/No Condition (Supplier Signature)"},
    std::string_view{"Provider Accept Assignment Code"},
    std::string_view{"Benefits Assignment Certification Indicator"},
    std::string_view{"Release of Information Code"},
    std::string_view{"Patient Signature Source Code"},
    std::string_view{"Related Causes Information"},
    std::string_view{"Special Program Code"},
    std::string_view{"Yes/No Condition"},
    std::string_view{"Level of Service Code"},
    std::string_view{"Provider Agreement Code"},
    std::string_view{"Claim Status Code"},
    std::string_view{"Yes/No Condition"},
    std::string_view{"Claim Submission Reason Code"},
    std::string_view{"Delay Reason Code"},
    // CLP
    std::string_view{"Patient Control Number"},
    std::string_view{"Claim Status Code"},
    std::string_view{"Total Claim Charge Amount"},
    std::string_view{"Claim Payment Amount"},
    std::string_view{"Patient Responsibility Amount"},
    std::string_view{"Claim Filing Indicator"},
    std::string_view{"Payer Claim Control Number"},
    std::string_view{"Facility Type Code"},
    std::string_view{"Claim Frequency Code"},
    std::string_view{"Patient Status Code"},
    std::string_view{"Diagnosis Related Group (DRG) Code"},
    std::string_view{"DRG Weight"},
    std::string_view{"Discharge Fraction"},
    // CAS
    std::string_view{"Claim Adjustment Group Code"},
    std::string_view{"Adjustment Reason Code"},
    std::string_view{"Adjustment Amount"},
    std::string_view{"Adjustment Quantity"},
    std::string_view{"Adjustment Reason Code"},
    std::string_view{"Adjustment Amount"},
    std::string_view{"Adjustment Quantity"},
    std::string_view{"Adjustment Reason Code"},
    std::string_view{"Adjustment Amount"},
    std::string_view{"Adjustment Quantity"},
    std::string_view{"Adjustment Reason Code"},
    std::string_view{"Adjustment Amount"},
    std::string_view{"Adjustment Quantity"},
    std::string_view{"Adjustment Reason Code"},
    std::string_view{"Adjustment Amount"},
    std::string_view{"Adjustment Quantity"},
    std::string_view{"Adjustment Reason Code"},
    std::string_view{"Adjustment Amount"},
    std::string_view{"Adjustment Quantity"},
    // SVC
    std::string_view{"Composite Medical Procedure Identifier"},
    std::string_view{"Line Item Charge Amount"},
    std::string_view{"Line Item Provider Payment Amount"},
    std::string_view{"Revenue Code"},
    std::string_view{"Units of Service Paid"},
    std::string_view{"Original Procedure Code"},
    std::string_view{"Original Units of Service"},
    // SVD
    std::string_view{"Other Payer Primary Identifier"},
    std::string_view{"Service Line Paid Amount"},
    std::string_view{"Composite Medical Procedure Identifier"},
    std::string_view{"Product/Service ID"},
    std::string_view{"Paid Service Unit Count"},
    std::string_view{"Bundled Line Number"},
    // AMT
    std::string_view{"Amount Qualifier Code"},
    std::string_view{"Monetary Amount"},
    std::string_view{"Credit/Debit Flag Code"},
    // QTY
    std::string_view{"Quantity Qualifier"},
    std::string_view{"Quantity"},
    std::string_view{"Composite Unit of Measure"},
    std::string_view{"Free-Form Message"},
    // LX
    std::string_view{"Assigned Number"},
    // SV1
    std::string_view{"Composite Medical Procedure Identifier"},
    std::string_view{"Line Item Charge Amount"},
    std::string_view{"Unit or Basis for Measurement"},
    std::string_view{"Service Unit Count"},
    std::string_view{"Place of Service Code"},
    std::string_view{"Service Type Code"},
    std::string_view{"Composite Diagnosis Code Pointer"},
    std::string_view{"Monetary Amount"},
    std::string_view{"Emergency Indicator"},
    std::string_view{"Multiple Procedure Code"},
    std::string_view{"EPSDT Indicator"},
    std::string_view{"Family Planning Indicator"},
    std::string_view{"Review Code"},
    std::string_view{"National or Local Assigned Review Value"},
    std::string_view{"Copay Status Code"},
    // SV2
    std::string_view{"Revenue Code"},
    std::string_view{"Composite Medical Procedure Identifier"},
    std::string_view{"Line Item Charge Amount"},
    std::string_view{"Unit or Basis for Measurement"},
    std::string_view{"Service Unit Count"},
    std::string_view{"Unit Rate"},
    std::string_view{"Line Item Denied Charge Amount"},
    std::string_view{"Yes/No Condition"},
    std::string_view{"Nursing Home Residential Status"},
    std::string_view{"Level of Care Code"},
    // SV3
    std::string_view{"Composite Medical Procedure Identifier"},
    std::string_view{"Line Item Charge Amount"},
    std::string_view{"Facility Code Value"},
    std::string_view{"Oral Cavity Designation"},
    std::string_view{"Prosthesis/Crown/Inlay Code"},
    std::string_view{"Service Unit Count"},
    std::string_view{"Description"},
    std::string_view{"Copay Status Code"},
    std::string_view{"Provider Agreement Code"},
    // SV5
    std::string_view{"Composite Medical Procedure Identifier"},
    std::string_view{"Unit or Basis for Measurement"},
    std::string_view{"Length of Medical Necessity"},
    std::string_view{"DME Rental Price"},
    std::string_view{"DME Purchase Price"},
    std::string_view{"Rental Unit Price Indicator"},
    std::string_view{"Prognosis Code"},
    // HI
    std::string_view{"Health Care Code Information 1"},
    std::string_view{"Health Care Code Information 2"},
    std::string_view{"Health Care Code Information 3"},
    std::string_view{"Health Care Code Information 4"},
    std::string_view{"Health Care Code Information 5"},
    std::string_view{"Health Care Code Information 6"},
    std::string_view{"Health Care Code Information 7"},
    std::string_view{"Health Care Code Information 8"},
    std::string_view{"Health Care Code Information 9"},
    std::string_view{"Health Care Code Information 10"},
    std::string_view{"Health Care Code Information 11"},
    std::string_view{"Health Care Code Information 12"},
    // HCP
    std::string_view{"Pricing Methodology"},
    std::string_view{"Allowed Amount"},
    std::string_view{"Savings Amount"},
    std::string_view{"Repriced Organization Identifier"},
    std::string_view{"Rate"},
    std::string_view{"Repriced Approved Ambulatory Patient Group"},
    std::string_view{"Repriced Approved Amount"},
    std::string_view{"Policy Compliance Code"},
    std::string_view{"Exception Code"},
    // NTE
    std::string_view{"Note Reference Code"},
    std::string_view{"Description"},
    // K3
    std::string_view{"Fixed Format Information"},
    // CN1
    std::string_view{"Contract Type Code"},
    std::string_view{"Contract Amount"},
    std::string_view{"Contract Percentage"},
    std::string_view{"Contract Code"},
    std::string_view{"Terms Discount Percent"},
    std::string_view{"Contract Version Identifier"},
    // MIA
    std::string_view{"Covered Days or Visits Count"},
    std::string_view{"PPS Operating Outlier Amount"},
    std::string_view{"Lifetime Psychiatric Days Count"},
    std::string_view{"Claim DRG Amount"},
    std::string_view{"Claim Payment Remark Code"},
    std::string_view{"Claim Disproportionate Share Amount"},
    std::string_view{"Claim MSP Pass-through Amount"},
    std::string_view{"Claim PPS Capital Amount"},
    // MOA
    std::string_view{"Reimbursement Rate"},
    std::string_view{"Claim HCPCS Payable Amount"},
    std::string_view{"Claim Payment Remark Code"},
    std::string_view{"Claim Payment Remark Code"},
    std::string_view{"Claim Payment Remark Code"},
    std::string_view{"Claim Payment Remark Code"},
    std::string_view{"Claim Payment Remark Code"},
    std::string_view{"Claim ESRD Payment Amount"},
    std::string_view{"Non-Payable Professional Component Billed Amount"},
    // PLB
    std::string_view{"Provider Identifier"},
    std::string_view{"Fiscal Period Date"},
    std::string_view{"Adjustment Identifier"},
    std::string_view{"Provider Adjustment Amount"},
    std::string_view{"Adjustment Identifier"},
    std::string_view{"Provider Adjustment Amount"},
    // LQ
    std::string_view{"Code List Qualifier Code"},
    std::string_view{"Industry Code"},
    // TS3
    std::string_view{"Provider Identifier"},
    std::string_view{"Facility Type Code"},
    std::string_view{"Fiscal Period Date"},
    std::string_view{"Total Claim Count"},
    std::string_view{"Total Claim Charge Amount"},
    // EQ
    std::string_view{"Service Type Code"},
    std::string_view{"Composite Medical Procedure Identifier"},
    std::string_view{"Coverage Level Code"},
    std::string_view{"Insurance Type Code"},
    // EB
    std::string_view{"Eligibility or Benefit Information Code"},
    std::string_view{"Coverage Level Code"},
    std::string_view{"Service Type Code"},
    std::string_view{"Insurance Type Code"},
    std::string_view{"Plan Coverage Description"},
    std::string_view{"Time Period Qualifier"},
    std::string_view{"Benefit Amount"},
    std::string_view{"Benefit Percent"},
    std::string_view{"Quantity Qualifier"},
    std::string_view{"Benefit Quantity"},
    std::string_view{"Authorization or Certification Indicator"},
    std::string_view{"In Plan Network Indicator"},
    // AAA
    std::string_view{"Yes/No Condition (Valid Request)"},
    std::string_view{"Agency Qualifier Code"},
    std::string_view{"Reject Reason Code"},
    std::string_view{"Follow-up Action Code"},
    // MSG
    std::string_view{"Free-Form Message Text"},
    // STC
    std::string_view{"Health Care Claim Status"},
    std::string_view{"Status Information Effective Date"},
    std::string_view{"Action Code"},
    std::string_view{"Total Submitted Charges"},
    std::string_view{"Monetary Amount"},
    std::string_view{"Date"},
    std::string_view{"Payment Method Code"},
    std::string_view{"Date"},
    std::string_view{"Check Number"},
    // PWK
    std::string_view{"Report Type Code"},
    std::string_view{"Report Transmission Code"},
    std::string_view{"Report Copies Needed"},
    std::string_view{"Entity Identifier Code"},
    std::string_view{"Identification Code Qualifier"},
    std::string_view{"Identification Code"},
    std::string_view{"Description"},
    // CRC
    std::string_view{"Code Category"},
    std::string_view{"Yes/No Condition"},
    std::string_view{"Condition Indicator"},
    std::string_view{"Condition Indicator"},
    // OI
    std::string_view{"Claim Filing Indicator Code"},
    std::string_view{"Claim Submission Reason Code"},
    std::string_view{"Benefits Assignment Certification Indicator"},
    std::string_view{"Patient Signature Source Code"},
    std::string_view{"Provider Agreement Code"},
    std::string_view{"Release of Information Code"},
    // CL1
    std::string_view{"Admission Type Code"},
    std::string_view{"Admission Source Code"},
    std::string_view{"Patient Status Code"},
    std::string_view{"Nursing Home Residential Status Code"},
    // TOO
    std::string_view{"Code List Qualifier Code"},
    std::string_view{"Tooth Code"},
    std::string_view{"Tooth Surface"},
    // AK1
    std::string_view{"Functional Identifier Code"},
    std::string_view{"Group Control Number"},
    std::string_view{"Version / Release"},
    // AK2
    std::string_view{"Transaction Set Identifier Code"},
    std::string_view{"Transaction Set Control Number"},
    // AK9
    std::string_view{"Functional Group Acknowledge Code"},
    std::string_view{"Number of Transaction Sets Included"},
    std::string_view{"Number of Received Transaction Sets"},
    std::string_view{"Number of Accepted Transaction Sets"},
    // IK3
    std::string_view{"Segment ID Code"},
    std::string_view{"Segment Position in Transaction Set"},
    std::string_view{"Loop Identifier Code"},
    std::string_view{"Implementation Segment Syntax Error Code"},
    // IK4
    std::string_view{"Position in Segment"},
    std::string_view{"Data Element Reference Number"},
    std::string_view{"Implementation Data Element Syntax Error Code"},
    std::string_view{"Copy of Bad Data Element"},
    // IK5
    std::string_view{"Transaction Set Acknowledgment Code"},
    std::string_view{"Implementation Transaction Set Syntax Error Code"},
    // CTX
    std::string_view{"Context Identification"},
    std::string_view{"Segment ID Code"},
    std::string_view{"Segment Position in Transaction Set"},
    std::string_view{"Loop Identifier Code"},
    std::string_view{"Position in Segment"},
    std::string_view{"Reference in Segment"},
    // BGN
    std::string_view{"Transaction Set Purpose Code"},
    std::string_view{"Reference Identification"},
    std::string_view{"Date"},
    std::string_view{"Time"},
    std::string_view{"Time Code"},
    std::string_view{"Reference Identification"},
    std::string_view{"Transaction Type Code"},
    std::string_view{"Action Code"},
    // HD
    std::string_view{"Maintenance Type Code"},
    std::string_view{"Maintenance Reason Code"},
    std::string_view{"Insurance Line Code"},
    std::string_view{"Plan Coverage Description"},
    std::string_view{"Coverage Level Code"},
    // RMR
    std::string_view{"Reference Identification Qualifier"},
    std::string_view{"Reference Identification"},
    std::string_view{"Payment Action Code"},
    std::string_view{"Monetary Amount"},
    std::string_view{"Total Invoice Amount"},
    std::string_view{"Discount Amount"},
    // ENT
    std::string_view{"Assigned Number"},
    std::string_view{"Entity Identifier Code"},
    std::string_view{"Identification Code Qualifier"},
    std::string_view{"Identification Code"},
    // RDM
    std::string_view{"Report Transmission Code"},
    std::string_view{"Name"},
    std::string_view{"Communication Number"},
    // LIN
    std::string_view{"Assigned Identification"},
    std::string_view{"Product/Service ID Qualifier"},
    std::string_view{"Product/Service ID"},
    // CTP
    std::string_view{"Class of Trade Code"},
    std::string_view{"Price Identifier Code"},
    std::string_view{"Unit Price"},
    std::string_view{"Quantity"},
    // PO1
    std::string_view{"Assigned Identification"},
    std::string_view{"Quantity Ordered"},
    std::string_view{"Unit of Measurement"},
    std::string_view{"Unit Price"},
    std::string_view{"Basis of Unit Price Code"},
    std::string_view{"Product ID Qualifier"},
    std::string_view{"Product ID"},
    // IT1
    std::string_view{"Assigned Identification"},
    std::string_view{"Quantity Invoiced"},
    std::string_view{"Unit of Measurement"},
    std::string_view{"Unit Price"},
    std::string_view{"Basis of Unit Price Code"},
    std::string_view{"Product ID Qualifier"},
    std::string_view{"Product ID"},
    // BIG
    std::string_view{"Invoice Date"},
    std::string_view{"Invoice Number"},
    std::string_view{"Purchase Order Date"},
    std::string_view{"Purchase Order Number"},
    // BEG
    std::string_view{"Transaction Set Purpose Code"},
    std::string_view{"Purchase Order Type Code"},
    std::string_view{"Purchase Order Number"},
    std::string_view{"Release Number"},
    std::string_view{"Date"},
    // BSN
    std::string_view{"Transaction Set Purpose Code"},
    std::string_view{"Shipment Identification"},
    std::string_view{"Date"},
    std::string_view{"Time"},
    std::string_view{"Hierarchical Structure Code"},
    // TDS
    std::string_view{"Total Invoice Amount"},
    std::string_view{"Amount Subject to Terms Discount"},
    std::string_view{"Discounted Amount Due"},
    std::string_view{"Terms Discount Amount"},
    // MEA
    std::string_view{"Measurement Reference ID Code"},
    std::string_view{"Measurement Qualifier"},
    std::string_view{"Measurement Value"},
    // III
    std::string_view{"Code List Qualifier Code"},
    std::string_view{"Industry Code"},
    std::string_view{"Code Category"},
    std::string_view{"Free-Form Message"},
    // FRM
    std::string_view{"Question Number/Letter"},
    std::string_view{"Question Response"},
    std::string_view{"Question Response"},
    std::string_view{"Question Response"},
    std::string_view{"Question Response"},
    // DN1
    std::string_view{"Orthodontic Treatment Months Count"},
    std::string_view{"Orthodontic Treatment Months Remaining"},
    // DN2
    std::string_view{"Reference Identification"},
    std::string_view{"Tooth Status Code"},
    // SVQ
    std::string_view{"Composite Medical Procedure Identifier"},
    std::string_view{"Monetary Amount"},
    std::string_view{"Quantity"},
    // ACT
    std::string_view{"Account Number"},
    std::string_view{"Name"},
    std::string_view{"Identification Code Qualifier"},
    std::string_view{"Identification Code"},
    // ADX
    std::string_view{"Monetary Amount"},
    std::string_view{"Adjustment Reason Code"},
};

constexpr std::array elementNameTable{
    ElementRange{"ISA", 0, 16},   ElementRange{"IEA", 16, 2},   ElementRange{"GS", 18, 8},
    ElementRange{"GE", 26, 2},    ElementRange{"ST", 28, 3},    ElementRange{"SE", 31, 2},
    ElementRange{"BHT", 33, 6},   ElementRange{"BPR", 39, 16},  ElementRange{"TRN", 55, 4},
    ElementRange{"CUR", 59, 2},   ElementRange{"REF", 61, 4},   ElementRange{"PER", 65, 9},
    ElementRange{"N1", 74, 4},    ElementRange{"N2", 78, 1},    ElementRange{"N3", 79, 2},
    ElementRange{"N4", 81, 7},    ElementRange{"NM1", 88, 12},  ElementRange{"HL", 100, 4},
    ElementRange{"PRV", 104, 6},  ElementRange{"SBR", 110, 9},  ElementRange{"PAT", 119, 9},
    ElementRange{"DMG", 128, 6},  ElementRange{"INS", 134, 10}, ElementRange{"DTP", 144, 3},
    ElementRange{"DTM", 147, 3},  ElementRange{"CLM", 150, 19}, ElementRange{"CLP", 169, 13},
    ElementRange{"CAS", 182, 19}, ElementRange{"SVC", 201, 7},  ElementRange{"SVD", 208, 6},
    ElementRange{"AMT", 214, 3},  ElementRange{"QTY", 217, 4},  ElementRange{"LX", 221, 1},
    ElementRange{"SV1", 222, 15}, ElementRange{"SV2", 237, 10}, ElementRange{"SV3", 247, 9},
    ElementRange{"SV5", 256, 7},  ElementRange{"HI", 263, 12},  ElementRange{"HCP", 275, 9},
    ElementRange{"NTE", 284, 2},  ElementRange{"K3", 286, 1},   ElementRange{"CN1", 287, 6},
    ElementRange{"MIA", 293, 8},  ElementRange{"MOA", 301, 9},  ElementRange{"PLB", 310, 6},
    ElementRange{"LQ", 316, 2},   ElementRange{"TS3", 318, 5},  ElementRange{"EQ", 323, 4},
    ElementRange{"EB", 327, 12},  ElementRange{"AAA", 339, 4},  ElementRange{"MSG", 343, 1},
    ElementRange{"STC", 344, 9},  ElementRange{"PWK", 353, 7},  ElementRange{"CRC", 360, 4},
    ElementRange{"OI", 364, 6},   ElementRange{"CL1", 370, 4},  ElementRange{"TOO", 374, 3},
    ElementRange{"AK1", 377, 3},  ElementRange{"AK2", 380, 2},  ElementRange{"AK9", 382, 4},
    ElementRange{"IK3", 386, 4},  ElementRange{"IK4", 390, 4},  ElementRange{"IK5", 394, 2},
    ElementRange{"CTX", 396, 6},  ElementRange{"BGN", 402, 8},  ElementRange{"HD", 410, 5},
    ElementRange{"RMR", 415, 6},  ElementRange{"ENT", 421, 4},  ElementRange{"RDM", 425, 3},
    ElementRange{"LIN", 428, 3},  ElementRange{"CTP", 431, 4},  ElementRange{"PO1", 435, 7},
    ElementRange{"IT1", 442, 7},  ElementRange{"BIG", 449, 4},  ElementRange{"BEG", 453, 5},
    ElementRange{"BSN", 458, 5},  ElementRange{"TDS", 463, 4},  ElementRange{"MEA", 467, 3},
    ElementRange{"III", 470, 4},  ElementRange{"FRM", 474, 5},  ElementRange{"DN1", 479, 2},
    ElementRange{"DN2", 481, 2},  ElementRange{"SVQ", 483, 3},  ElementRange{"ACT", 486, 4},
    ElementRange{"ADX", 490, 2},
};

/// The ranges cover the name list in order, each starting where the previous one ends and none
/// empty: a name added to or dropped from one segment without moving the later ranges would
/// otherwise shift every later label by one.
constexpr bool rangesTileTheNameList()
{
    std::size_t next = 0;
    for (const ElementRange &range : elementNameTable) {
        if (range.first != next || range.count == 0)
            return false;
        next += range.count;
    }
    return next == elementNameList.size();
}
static_assert(rangesTileTheNameList(), "element name ranges must tile elementNameList in order");

} // namespace

namespace X12Dictionary {

const ElementNameTable &elementNames()
{
    static const ElementNameTable table = [] {
        ElementNameTable names;
        names.reserve(elementNameTable.size());
        const std::span<const std::string_view> all(elementNameList);
        for (const ElementRange &range : elementNameTable)
            names.emplace(range.tag, all.subspan(range.first, range.count));
        return names;
    }();
    return table;
}

} // namespace X12Dictionary
