#include "core/dictionary/X12Dictionary.h"

#include "core/dictionary/Dictionary_p.h"
#include "core/support/TagKey_p.h"
#include "core/model/X12Document.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

using kelvane::detail::Entry;
using kelvane::detail::makeTable;

struct ElementRange
{
    std::string_view tag;
    std::uint16_t first; // index into elementNameList
    std::uint16_t count;
};

constexpr std::array transactionSetTable{
    Entry{"100", "Insurance Plan Description"},
    Entry{"270", "Eligibility, Coverage or Benefit Inquiry"},
    Entry{"271", "Eligibility, Coverage or Benefit Information"},
    Entry{"276", "Health Care Claim Status Request"},
    Entry{"277", "Health Care Claim Status Notification"},
    Entry{"278", "Health Care Services Review"},
    Entry{"820", "Payroll Deducted and Other Group Premium Payment"},
    Entry{"834", "Benefit Enrollment and Maintenance"},
    Entry{"835", "Health Care Claim Payment/Advice"},
    Entry{"837", "Health Care Claim"},
    Entry{"864", "Text Message"},
    Entry{"997", "Functional Acknowledgment"},
    Entry{"999", "Implementation Acknowledgment"},
    Entry{"810", "Invoice"},
    Entry{"820P", "Premium Payment"},
    Entry{"846", "Inventory Inquiry/Advice"},
    Entry{"850", "Purchase Order"},
    Entry{"855", "Purchase Order Acknowledgment"},
    Entry{"856", "Ship Notice/Manifest"},
    Entry{"860", "Purchase Order Change Request"},
    Entry{"864M", "Text Message"},
    Entry{"997F", "Functional Acknowledgment"},
};

constexpr std::array functionalGroupTable{
    Entry{"HC", "Health Care Claim (837)"},
    Entry{"HP", "Health Care Claim Payment/Advice (835)"},
    Entry{"HB", "Eligibility Benefit Information (271)"},
    Entry{"HS", "Eligibility Benefit Inquiry (270)"},
    Entry{"HR", "Health Care Claim Status Request (276)"},
    Entry{"HN", "Health Care Claim Status Notification (277)"},
    Entry{"HI", "Health Care Services Review (278)"},
    Entry{"BE", "Benefit Enrollment and Maintenance (834)"},
    Entry{"RA", "Payment Order/Remittance Advice (820)"},
    Entry{"FA", "Functional Acknowledgment (997/999)"},
    Entry{"PO", "Purchase Order (850)"},
    Entry{"IN", "Invoice (810)"},
    Entry{"SH", "Ship Notice/Manifest (856)"},
};

constexpr std::array segmentNameTable{
    Entry{"ISA", "Interchange Control Header"},
    Entry{"EQ", "Eligibility or Benefit Inquiry"},
    Entry{"IEA", "Interchange Control Trailer"},
    Entry{"EB", "Eligibility or Benefit Information"},
    Entry{"GS", "Functional Group Header"},
    Entry{"III", "Information"},
    Entry{"GE", "Functional Group Trailer"},
    Entry{"AAA", "Request Validation"},
    Entry{"ST", "Transaction Set Header"},
    Entry{"MSG", "Message Text"},
    Entry{"SE", "Transaction Set Trailer"},
    Entry{"STC", "Status Information"},
    Entry{"BHT", "Beginning of Hierarchical Transaction"},
    Entry{"SVQ", "Service Line Status"},
    Entry{"BPR", "Financial Information"},
    Entry{"ENT", "Entity"},
    Entry{"TRN", "Trace Number"},
    Entry{"ACT", "Account Identification"},
    Entry{"CUR", "Currency"},
    Entry{"RMR", "Remittance Advice Accounts Receivable"},
    Entry{"REF", "Reference Information"},
    Entry{"ADX", "Adjustment"},
    Entry{"PER", "Administrative Contact"},
    Entry{"AK1", "Functional Group Response Header"},
    Entry{"N1", "Party Identification"},
    Entry{"AK2", "Transaction Set Response Header"},
    Entry{"N2", "Additional Name Information"},
    Entry{"AK9", "Functional Group Response Trailer"},
    Entry{"N3", "Party Address"},
    Entry{"IK3", "Implementation Data Segment Note"},
    Entry{"N4", "Geographic Location"},
    Entry{"IK4", "Implementation Data Element Note"},
    Entry{"NM1", "Individual or Organizational Name"},
    Entry{"IK5", "Implementation Transaction Set Response Trailer"},
    Entry{"HL", "Hierarchical Level"},
    Entry{"CTX", "Context"},
    Entry{"PRV", "Provider Information"},
    Entry{"LIN", "Item Identification"},
    Entry{"SBR", "Subscriber Information"},
    Entry{"CTP", "Pricing Information"},
    Entry{"PAT", "Patient Information"},
    Entry{"PO1", "Baseline Item Data"},
    Entry{"DMG", "Demographic Information"},
    Entry{"PID", "Product/Item Description"},
    Entry{"INS", "Insured Benefit"},
    Entry{"TDS", "Total Monetary Value Summary"},
    Entry{"DTP", "Date or Time Period"},
    Entry{"IT1", "Baseline Item Data (Invoice)"},
    Entry{"DTM", "Date/Time Reference"},
    Entry{"BIG", "Beginning Segment for Invoice"},
    Entry{"CLM", "Claim Information"},
    Entry{"BEG", "Beginning Segment for Purchase Order"},
    Entry{"CLP", "Claim Payment Information"},
    Entry{"BSN", "Beginning Segment for Ship Notice"},
    Entry{"CAS", "Claim Adjustment"},
    Entry{"HLX", "Hierarchical Level"},
    Entry{"SVC", "Service Payment Information"},
    Entry{"MEA", "Measurements"},
    Entry{"SVD", "Service Line Adjudication"},
    Entry{"PWK", "Paperwork"},
    Entry{"AMT", "Monetary Amount"},
    Entry{"CL1", "Institutional Claim Code"},
    Entry{"QTY", "Quantity"},
    Entry{"UR", "Peer Review Organization"},
    Entry{"LX", "Service Line Counter"},
    Entry{"OI", "Other Insurance Coverage"},
    Entry{"SV1", "Professional Service"},
    Entry{"MOA2", "Outpatient Adjudication"},
    Entry{"SV2", "Institutional Service Line"},
    Entry{"LS", "Loop Header"},
    Entry{"SV3", "Dental Service"},
    Entry{"LE", "Loop Trailer"},
    Entry{"SV5", "Durable Medical Equipment Service"},
    Entry{"FRM", "Supporting Documentation"},
    Entry{"HI", "Health Care Diagnosis Code"},
    Entry{"TOO", "Tooth Identification"},
    Entry{"HCP", "Health Care Pricing"},
    Entry{"DN1", "Orthodontic Total Months"},
    Entry{"NTE", "Note / Special Instruction"},
    Entry{"DN2", "Tooth Summary"},
    Entry{"K3", "File Information"},
    Entry{"PAT2", "Patient"},
    Entry{"CN1", "Contract Information"},
    Entry{"RDM", "Remittance Delivery Method"},
    Entry{"CR1", "Ambulance Transport Information"},
    Entry{"BGN", "Beginning Segment"},
    Entry{"CR2", "Spinal Manipulation Service"},
    Entry{"ICM", "Individual Income"},
    Entry{"CR3", "Durable Medical Equipment Certification"},
    Entry{"HD", "Health Coverage"},
    Entry{"CRC", "Conditions Indicator"},
    Entry{"COB", "Coordination of Benefits"},
    Entry{"MIA", "Inpatient Adjudication Information"},
    Entry{"LUI", "Language Use"},
    Entry{"MOA", "Outpatient Adjudication Information"},
    Entry{"LM", "Code Source Information"},
    Entry{"PLB", "Provider Adjustment"},
    Entry{"YNQ", "Yes/No Question"},
    Entry{"LQ", "Industry Code Identification"},
    Entry{"PLA", "Place or Location"},
    Entry{"TS3", "Provider Summary Information"},
    Entry{"SBR2", "Subscriber"},
    Entry{"TS2", "Provider Supplemental Summary"},
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

std::string join(std::string_view a, std::string_view b)
{
    std::string text;
    text.reserve(a.size() + b.size());
    text.append(a);
    text.append(b);
    return text;
}

/// The table's text for key, or the fallback prefix followed by the key.
std::string nameOr(const X12Dictionary::NameTable &table, std::string_view key,
                   std::string_view prefix)
{
    if (auto it = table.find(key); it != table.end())
        return std::string(it->second);
    return join(prefix, kelvane::detail::limitedPiece(key));
}

} // namespace

namespace X12Dictionary {

const NameTable &transactionSets()
{
    static const NameTable table = makeTable(transactionSetTable);
    return table;
}

const NameTable &functionalGroups()
{
    static const NameTable table = makeTable(functionalGroupTable);
    return table;
}

const NameTable &segmentNames()
{
    static const NameTable table = makeTable(segmentNameTable);
    return table;
}

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

QuotedPieceLimit::QuotedPieceLimit(std::size_t bytes) noexcept
    : m_previous(std::exchange(kelvane::detail::t_pieceLimit, bytes))
{
}

QuotedPieceLimit::~QuotedPieceLimit()
{
    kelvane::detail::t_pieceLimit = m_previous;
}

std::string segmentName(std::string_view tag)
{
    return nameOr(segmentNames(), tag, "Segment ");
}

bool looksLikeX12(const X12Document &document)
{
    constexpr std::size_t sample = 4000;
    const std::size_t count = std::min(document.segments().size(), sample);
    std::size_t known = 0;
    const NameTable &names = segmentNames();
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view tag = document.segment(std::uint32_t(i)).tag();
        if (tag == "ISA" || tag == "GS" || tag == "ST")
            return true;
        known += tag.size() <= 3 && names.contains(tag);
    }
    // One segment in five with a tag the dictionary knows is already unlike random text.
    return known * 5 >= count;
}

ReportedFindings::ReportedFindings(const X12Document &document)
    : m_document(document), m_notX12(looksLikeX12(document) ? 0 : 1)
{
}

std::size_t ReportedFindings::size() const noexcept
{
    return m_document.findingCount() + m_notX12;
}

X12Finding ReportedFindings::operator[](std::size_t index) const
{
    if (index < m_notX12)
        return {X12Finding::Severity::error, 1,
                "the file does not look like X12: it has no ISA, GS or ST segment and almost "
                "none of its segments are known X12 segments"};
    return m_document.finding(index - m_notX12);
}

std::string segmentTitle(std::string_view tag)
{
    std::string text;
    kelvane::detail::appendSegmentTitle(text, tag);
    return text;
}

std::string transactionSetName(std::string_view code)
{
    return nameOr(transactionSets(), code, "Transaction set ");
}

std::string elementReference(std::string_view tag, std::ptrdiff_t position)
{
    std::string text;
    ElementVocabulary(tag).appendReference(text, position);
    return text;
}

std::string elementName(std::string_view tag, std::ptrdiff_t position)
{
    std::string text;
    ElementVocabulary(tag).appendName(text, position);
    return text;
}

} // namespace X12Dictionary

namespace kelvane::detail {

void appendSegmentName(std::string &out, std::string_view tag)
{
    tag = limitedPiece(tag);
    // Tags repeat: each thread remembers the names of the tags it met last, so that millions of
    // titles cost no hash of a string each. Empty for a tag the dictionary does not know.
    auto lookUp = [tag]() -> std::string_view {
        const X12Dictionary::NameTable &names = X12Dictionary::segmentNames();
        const auto it = names.find(tag);
        return it != names.end() ? it->second : std::string_view();
    };
    thread_local TagCache<std::string_view, 8> names;
    const std::uint64_t key = tagKey(tag);
    const std::string_view name = key == longTagKey ? lookUp() : names.get(key, lookUp);
    if (!name.empty()) {
        out.append(name);
    } else {
        out += "Segment ";
        out.append(tag);
    }
}

void appendSegmentTitle(std::string &out, std::string_view tag)
{
    tag = limitedPiece(tag);
    // Millions of lines are titled by a few tags: each thread remembers the titles of the tags it
    // met last, as it does their names.
    const std::uint64_t key = tagKey(tag);
    if (key == longTagKey) {
        out.append(tag);
        out += " \u2014 ";
        appendSegmentName(out, tag);
        return;
    }
    thread_local TagCache<std::string, 8> titles;
    out.append(titles.get(key, [tag] {
        std::string title(tag);
        title += " \u2014 ";
        appendSegmentName(title, tag);
        return title;
    }));
}

} // namespace kelvane::detail
