#include "RecordFormat.h"

namespace tvx {

// Each made in its own file.
std::unique_ptr<RecordFormat> MakeJsonRecords();
std::unique_ptr<RecordFormat> MakeCsvRecords(bool byteOrderMark);

std::unique_ptr<RecordFormat> MakeRecordFormat(RecordForm form, PathStyle style) {
  if (form == RecordForm::Csv) return MakeCsvRecords(style == PathStyle::Windows);
  return MakeJsonRecords();
}

}  // namespace tvx
