#include "RecordFormat.h"

namespace tvx {

std::unique_ptr<RecordFormat> MakeRecordFormat(RecordForm form, PathStyle style) {
  if (form == RecordForm::Csv) return MakeCsvRecords(style == PathStyle::Windows);
  return MakeJsonRecords();
}

}  // namespace tvx
