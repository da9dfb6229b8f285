// tessera_module.cpp -- the checks as a CPython extension: one number at a time, or whole columns
//
// One number: a str (read as Latin-1) or a bytes-like object goes to the
// checks as it stands, NUL bytes and all. Anything else goes to the column
// hook that the Python package installs; it turns lists, NumPy arrays and
// pandas Series into calls of _judge_objects, _judge_object_array or
// _judge_fixed, which copy every text into one padded buffer while they hold
// the GIL and run the checks over that buffer without it.
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <datetime.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "frame/checks.h"

namespace {

using tessera::Brand;
using tessera::Date;
using tessera::Text;

// The public functions; the Python package names them by these numbers.
enum class Op : int {
  IsAmex, IsDC, IsDisc, IsJcb, IsMc, IsVisa, CheckOrganization, CheckNumber, CheckCard,
  CheckGpaNo, CheckGpaNoExpired, GpaAge, CardBrand, CardVerdict, IdVerdict, MaskCard,
};

struct OpInfo {
  const char* name;
  Brand brand;  // for the six brand tests
};

constexpr OpInfo kOps[] = {
    {"is_amex", Brand::Amex},
    {"is_dc", Brand::DinersClub},
    {"is_disc", Brand::Discover},
    {"is_jcb", Brand::Jcb},
    {"is_mc", Brand::MasterCard},
    {"is_visa", Brand::Visa},
    {"check_organization", Brand::None},
    {"check_number", Brand::None},
    {"check_card", Brand::None},
    {"check_gpa_no", Brand::None},
    {"check_gpa_no_expired", Brand::None},
    {"gpa_age", Brand::None},
    {"card_brand", Brand::None},
    {"card_verdict", Brand::None},
    {"id_verdict", Brand::None},
    {"mask_card", Brand::None},
};
constexpr int kOpCount = static_cast<int>(std::size(kOps));
static_assert(kOpCount == static_cast<int>(Op::MaskCard) + 1);

const OpInfo& Info(Op op) { return kOps[static_cast<int>(op)]; }

// What one argument, or one row of a column, turned out to be. Missing values
// and str with characters beyond Latin-1 never reach the checks, which have
// no text to judge: every check answers no, 0 or "none" for them.
enum class Kind : unsigned char { Bytes, Str, Missing, BeyondLatin1 };

bool IsText(Kind kind) { return kind == Kind::Bytes || kind == Kind::Str; }

// A character beyond Latin-1 in a text to be masked is shown as this, so
// that digits in other scripts are never shown either.
constexpr char kHidden = '*';

// Set once, at import.
PyObject* g_column_hook = nullptr;
PyObject* g_brand_names[tessera::kBrandCount] = {};
PyTypeObject* g_card_verdict_type = nullptr;
PyTypeObject* g_id_verdict_type = nullptr;

// ---------------------------------------------------------------------------
// Reading arguments

// NumPy's types, once NumPy has been imported by someone: no NumPy object
// exists before, so the module neither needs nor imports NumPy itself.
struct NumpyTypes {
  PyObject* ndarray = nullptr;
  PyObject* generic = nullptr;   // every NumPy scalar
  PyObject* integer = nullptr;
  PyObject* floating = nullptr;
  PyObject* timedelta = nullptr;  // an integer to NumPy, a duration to people
};

const NumpyTypes* Numpy() {
  static NumpyTypes types;
  if (types.ndarray != nullptr) return &types;
  PyObject* numpy = PyDict_GetItemString(PyImport_GetModuleDict(), "numpy");  // borrowed
  if (numpy == nullptr) return nullptr;
  NumpyTypes found;
  PyObject** slots[] = {&found.ndarray, &found.generic, &found.integer, &found.floating, &found.timedelta};
  const char* names[] = {"ndarray", "generic", "integer", "floating", "timedelta64"};
  for (std::size_t i = 0; i < std::size(slots); ++i) {
    *slots[i] = PyObject_GetAttrString(numpy, names[i]);
    if (*slots[i] == nullptr) {  // a NumPy still being imported: look again next time
      PyErr_Clear();
      for (PyObject** slot : slots) Py_CLEAR(*slot);
      return nullptr;
    }
  }
  types = found;  // kept for the life of the process, as NumPy is
  return &types;
}

bool IsInstance(PyObject* object, PyObject* type) {
  return PyObject_TypeCheck(object, reinterpret_cast<PyTypeObject*>(type));
}

// What an argument or a row is to the checks.
enum class Taken {
  Number,   // a text to judge: a str, a bytes-like object, or an integer's decimal digits
  Missing,  // None, or NaN of any float type
  Float,    // any other float: the digits of a number may be lost in it
  Other,    // not a text: a column, or a type error
  Error,    // a Python error is set
};

// The bytes of one argument or row, borrowed or owned while this lives.
class TextArg {
 public:
  TextArg() = default;
  TextArg(const TextArg&) = delete;
  TextArg& operator=(const TextArg&) = delete;
  ~TextArg() {
    if (held_) PyBuffer_Release(&view_);
    Py_XDECREF(digits_);
  }

  Taken Take(PyObject* object) {
    object_ = object;
    if (PyUnicode_Check(object)) return TakeStr(object);
    if (PyBytes_Check(object)) {
      text_ = Text(PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object)));
      kind_ = Kind::Bytes;
      return Taken::Number;
    }
    if (object == Py_None) return Taken::Missing;
    if (PyBool_Check(object)) return Taken::Other;
    if (PyLong_Check(object)) return TakeDigits(object);
    if (PyFloat_Check(object)) return std::isnan(PyFloat_AS_DOUBLE(object)) ? Taken::Missing : Taken::Float;
    // NumPy's scalars expose their machine bytes as a buffer, and arrays are
    // columns: neither is read as bytes.
    if (const NumpyTypes* numpy = Numpy()) {
      if (IsInstance(object, numpy->ndarray)) return Taken::Other;
      if (IsInstance(object, numpy->generic)) {
        if (IsInstance(object, numpy->integer) && !IsInstance(object, numpy->timedelta)) return TakeDigits(object);
        if (!IsInstance(object, numpy->floating)) return Taken::Other;
        const double value = PyFloat_AsDouble(object);
        if (value == -1.0 && PyErr_Occurred()) return Taken::Error;
        return std::isnan(value) ? Taken::Missing : Taken::Float;
      }
    }
    if (!PyObject_CheckBuffer(object)) return Taken::Other;
    if (PyObject_GetBuffer(object, &view_, PyBUF_SIMPLE) < 0) return Taken::Error;
    held_ = true;
    text_ = Text(static_cast<const char*>(view_.buf), static_cast<std::size_t>(view_.len));
    kind_ = Kind::Bytes;
    return Taken::Number;
  }

  Text text() const { return text_; }
  Kind kind() const { return kind_; }
  // The str that holds the text: the argument, or the digits of an integer.
  PyObject* str() const { return digits_ != nullptr ? digits_ : object_; }

 private:
  Taken TakeStr(PyObject* str) {
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(str) < 0) return Taken::Error;
#endif
    if (PyUnicode_KIND(str) != PyUnicode_1BYTE_KIND) {
      kind_ = Kind::BeyondLatin1;
      return Taken::Number;
    }
    // One byte per character: the characters are their own Latin-1 bytes.
    text_ = Text(static_cast<const char*>(PyUnicode_DATA(str)), static_cast<std::size_t>(PyUnicode_GET_LENGTH(str)));
    kind_ = Kind::Str;
    return Taken::Number;
  }

  // An integer is its decimal digits, as str() writes them, "-" included.
  Taken TakeDigits(PyObject* object) {
    PyObject* number = PyNumber_Index(object);
    if (number == nullptr) return Taken::Error;
    digits_ = PyObject_Str(number);
    Py_DECREF(number);
    return digits_ == nullptr ? Taken::Error : TakeStr(digits_);
  }

  Py_buffer view_{};
  bool held_ = false;
  PyObject* digits_ = nullptr;
  Text text_;
  Kind kind_ = Kind::Missing;
  PyObject* object_ = nullptr;
};

// Why a float is refused, for one number (row == nullptr) or a row of a column.
void FloatError(Op op, PyObject* row) {
  const char* advice = "the digits of a number may be lost in a float; pass the numbers as text, "
                       "and read such a column as text: pandas.read_csv(..., dtype=str)";
  if (row == nullptr)
    PyErr_Format(PyExc_TypeError, "%s() takes no float: %s", Info(op).name, advice);
  else
    PyErr_Format(PyExc_TypeError, "%s(): %U is a float: %s", Info(op).name, row, advice);
}

// The characters of a str beyond Latin-1, each above U+00FF replaced by kHidden.
std::vector<char> HiddenLatin1(PyObject* str) {
  const Py_ssize_t length = PyUnicode_GET_LENGTH(str);
  const int kind = PyUnicode_KIND(str);
  const void* data = PyUnicode_DATA(str);
  std::vector<char> bytes(static_cast<std::size_t>(length));
  for (Py_ssize_t i = 0; i < length; ++i) {
    const Py_UCS4 c = PyUnicode_READ(kind, data, i);
    bytes[static_cast<std::size_t>(i)] = c > 0xff ? kHidden : static_cast<char>(static_cast<unsigned char>(c));
  }
  return bytes;
}

// `today` as given, or the local date when it is None. 0, or -1 with an error set.
int ReadToday(PyObject* given, Date* today) {
  if (given == nullptr || given == Py_None) {
    const std::optional<Date> local = tessera::LocalToday();
    if (!local) {
      PyErr_SetString(PyExc_OSError, "cannot read today's date from the system clock");
      return -1;
    }
    *today = *local;
    return 0;
  }
  if (!PyDate_Check(given)) {
    PyErr_Format(PyExc_TypeError, "today must be a datetime.date, not %.100s", Py_TYPE(given)->tp_name);
    return -1;
  }
  *today = {PyDateTime_GET_YEAR(given), PyDateTime_GET_MONTH(given), PyDateTime_GET_DAY(given)};
  return 0;
}

// ---------------------------------------------------------------------------
// Answers for one number

PyObject* NewBool(bool yes) { return PyBool_FromLong(yes); }

PyObject* BrandObject(Brand brand) {
  PyObject* name = g_brand_names[static_cast<std::size_t>(brand)];
  Py_INCREF(name);
  return name;
}

PyObject* NewCardVerdict(tessera::CardVerdict verdict) {
  PyObject* result = PyStructSequence_New(g_card_verdict_type);
  if (result == nullptr) return nullptr;
  PyStructSequence_SET_ITEM(result, 0, NewBool(verdict.valid()));
  PyStructSequence_SET_ITEM(result, 1, BrandObject(verdict.brand));
  PyStructSequence_SET_ITEM(result, 2, NewBool(verdict.checksum));
  return result;
}

PyObject* NewIdVerdict(tessera::IdVerdict verdict) {
  PyObject* result = PyStructSequence_New(g_id_verdict_type);
  if (result == nullptr) return nullptr;
  PyObject* age = PyLong_FromLong(verdict.age);
  if (age == nullptr) {
    Py_DECREF(result);
    return nullptr;
  }
  PyStructSequence_SET_ITEM(result, 0, NewBool(verdict.valid()));
  PyStructSequence_SET_ITEM(result, 1, NewBool(verdict.check_digits));
  PyStructSequence_SET_ITEM(result, 2, NewBool(verdict.unexpired));
  PyStructSequence_SET_ITEM(result, 3, age);
  return result;
}

// str in, str out (Latin-1); bytes-like in, bytes out.
PyObject* MaskOne(const TextArg& arg) {
  if (arg.kind() == Kind::Bytes) {
    PyObject* masked = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(arg.text().size()));
    if (masked != nullptr) tessera::MaskCardNumber(arg.text(), PyBytes_AS_STRING(masked));
    return masked;
  }
  std::vector<char> latin1;
  Text text = arg.text();
  if (arg.kind() == Kind::BeyondLatin1) {
    latin1 = HiddenLatin1(arg.str());
    text = Text(latin1.data(), latin1.size());
  }
  std::vector<char> masked(text.size());
  tessera::MaskCardNumber(text, masked.data());
  return PyUnicode_DecodeLatin1(masked.data(), static_cast<Py_ssize_t>(masked.size()), nullptr);
}

// The id checks read the clock only for a number whose check digits are
// right, as the exports do: only such a number has dates to judge.
PyObject* JudgeIdOne(Op op, const TextArg& arg, PyObject* today_given) {
  Date today{};
  if (today_given != nullptr && today_given != Py_None && ReadToday(today_given, &today) < 0) return nullptr;
  tessera::IdVerdict verdict{false, false, 0};
  if (IsText(arg.kind()) && tessera::CheckGPANo(arg.text())) {
    if ((today_given == nullptr || today_given == Py_None) && ReadToday(nullptr, &today) < 0) return nullptr;
    verdict = tessera::JudgeId(arg.text(), today);
  }
  switch (op) {
    case Op::CheckGpaNoExpired: return NewBool(verdict.unexpired);
    case Op::GpaAge: return PyLong_FromLong(verdict.age);
    default: return NewIdVerdict(verdict);
  }
}

PyObject* AnswerOne(Op op, const TextArg& arg, PyObject* today_given) {
  const bool text = IsText(arg.kind());
  const Text number = text ? arg.text() : Text();
  switch (op) {
    case Op::CheckOrganization: return NewBool(text && tessera::CheckOrganization(number));
    case Op::CheckNumber: return NewBool(text && tessera::CheckNumber(number));
    case Op::CheckCard: return NewBool(text && tessera::CheckCard(number));
    case Op::CheckGpaNo: return NewBool(text && tessera::CheckGPANo(number));
    case Op::CheckGpaNoExpired:
    case Op::GpaAge:
    case Op::IdVerdict: return JudgeIdOne(op, arg, today_given);
    case Op::CardBrand: return BrandObject(text ? tessera::BrandOf(number) : Brand::None);
    case Op::CardVerdict:
      return NewCardVerdict(text ? tessera::JudgeCard(number) : tessera::CardVerdict{Brand::None, false});
    case Op::MaskCard: return MaskOne(arg);
    default: return NewBool(text && tessera::BrandOf(number) == Info(op).brand);
  }
}

PyObject* Dispatch(Op op, PyObject* number, PyObject* today) {
  try {
    TextArg arg;
    switch (arg.Take(number)) {
      case Taken::Number: return AnswerOne(op, arg, today);
      case Taken::Missing: {
        // Nothing to judge, as in a column; a bad `today` is still an error.
        Date day{};
        if (today != nullptr && today != Py_None && ReadToday(today, &day) < 0) return nullptr;
        Py_RETURN_NONE;
      }
      case Taken::Float: FloatError(op, nullptr); return nullptr;
      case Taken::Error: return nullptr;
      case Taken::Other: break;
    }
    if (g_column_hook == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() expects a str, a bytes-like object or an integer, not %.100s",
                   Info(op).name, Py_TYPE(number)->tp_name);
      return nullptr;
    }
    return PyObject_CallFunction(g_column_hook, "iOO", static_cast<int>(op), number, today ? today : Py_None);
  } catch (const std::exception&) {  // only allocation can fail here
    return PyErr_NoMemory();
  }
}

// ---------------------------------------------------------------------------
// Columns

// Every text of a column end to end, followed by kPadding bytes, so that
// the padded checks may load whole vectors past the end of any of them.
class Column {
 public:
  explicit Column(std::size_t rows) {
    starts_.reserve(rows + 1);
    kinds_.reserve(rows);
    bytes_.reserve(rows * 20);
    starts_.push_back(0);
  }

  void Add(Text text, Kind kind) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    starts_.push_back(bytes_.size());
    kinds_.push_back(kind);
  }
  void AddUnjudged(Kind kind) { Add(Text(), kind); }
  void Pad() { bytes_.resize(bytes_.size() + tessera::kPadding, '\0'); }

  std::size_t rows() const { return kinds_.size(); }
  Kind kind(std::size_t row) const { return kinds_[row]; }
  tessera::PaddedText text(std::size_t row) const {
    return tessera::PaddedText(bytes_.data() + starts_[row], starts_[row + 1] - starts_[row]);
  }
  std::size_t start(std::size_t row) const { return starts_[row]; }
  std::size_t text_bytes() const { return starts_.back(); }

 private:
  std::vector<char> bytes_;
  std::vector<std::size_t> starts_;
  std::vector<Kind> kinds_;
};

// Only a str in its compact form may be read in place.
bool IsReady(PyObject* str) {
#if PY_VERSION_HEX < 0x030C0000
  return PyUnicode_IS_READY(str);
#else
  (void)str;
  return true;
#endif
}

// pandas' own missing values (pandas.NA, pandas.NaT), which the package passes in.
bool IsMissingMarker(PyObject* item, PyObject* missing) {
  const Py_ssize_t count = PyTuple_GET_SIZE(missing);
  for (Py_ssize_t i = 0; i < count; ++i)
    if (item == PyTuple_GET_ITEM(missing, i)) return true;
  return false;
}

// How errors name a row: by position, or by its label in `labels` (a pandas
// Series' index) when there are labels. A new reference, or nullptr.
PyObject* RowName(Py_ssize_t row, PyObject* labels) {
  if (labels == Py_None) return PyUnicode_FromFormat("row %zd", row);
  PyObject* label = PySequence_GetItem(labels, row);
  if (label == nullptr) return nullptr;
  PyObject* name = PyUnicode_FromFormat("the row labelled %R", label);
  Py_DECREF(label);
  return name;
}

// 0, or -1 with an error set.
int AddObject(Column& column, Op op, PyObject* item, PyObject* missing, PyObject* labels, Py_ssize_t row) {
  if (PyUnicode_Check(item) && IsReady(item) && PyUnicode_KIND(item) == PyUnicode_1BYTE_KIND) {
    column.Add(Text(static_cast<const char*>(PyUnicode_DATA(item)), static_cast<std::size_t>(PyUnicode_GET_LENGTH(item))),
               Kind::Str);
    return 0;
  }
  if (PyBytes_Check(item)) {
    column.Add(Text(PyBytes_AS_STRING(item), static_cast<std::size_t>(PyBytes_GET_SIZE(item))), Kind::Bytes);
    return 0;
  }
  if (IsMissingMarker(item, missing)) {
    column.AddUnjudged(Kind::Missing);
    return 0;
  }
  // The rarer rows: integers, floats, a str not yet in its compact form or
  // beyond Latin-1, other bytes-like objects. The item is held while it is read.
  Py_INCREF(item);
  TextArg arg;
  const Taken taken = arg.Take(item);
  if (taken == Taken::Number) {
    if (arg.kind() == Kind::BeyondLatin1 && op == Op::MaskCard) {
      const std::vector<char> latin1 = HiddenLatin1(arg.str());
      column.Add(Text(latin1.data(), latin1.size()), Kind::Str);
    } else {
      column.Add(arg.text(), arg.kind());
    }
  } else if (taken == Taken::Missing) {
    column.AddUnjudged(Kind::Missing);
  } else if (taken != Taken::Error) {
    if (PyObject* name = RowName(row, labels)) {
      if (taken == Taken::Float)
        FloatError(op, name);
      else
        PyErr_Format(PyExc_TypeError,
                     "%s(): %U is %.100s, not a str, a bytes-like object, an integer or a missing value",
                     Info(op).name, name, Py_TYPE(item)->tp_name);
      Py_DECREF(name);
    }
  }
  Py_DECREF(item);
  return taken == Taken::Number || taken == Taken::Missing ? 0 : -1;
}

// One fixed-width element of a NumPy array: NumPy itself reads the element
// without its trailing NUL bytes (or code points), so the checks do too.
void AddFixed(Column& column, Op op, const unsigned char* item, std::size_t itemsize, bool ucs4,
              std::vector<char>& scratch) {
  if (!ucs4) {
    std::size_t length = itemsize;
    while (length > 0 && item[length - 1] == 0) --length;
    column.Add(Text(reinterpret_cast<const char*>(item), length), Kind::Bytes);
    return;
  }
  std::size_t length = itemsize / 4;
  auto code_point = [item](std::size_t i) {
    uint32_t c;
    std::memcpy(&c, item + 4 * i, 4);
    return c;
  };
  while (length > 0 && code_point(length - 1) == 0) --length;
  scratch.resize(length);
  bool beyond = false;
  for (std::size_t i = 0; i < length; ++i) {
    const uint32_t c = code_point(i);
    beyond = beyond || c > 0xff;
    scratch[i] = c > 0xff ? kHidden : static_cast<char>(static_cast<unsigned char>(c));
  }
  if (beyond && op != Op::MaskCard)
    column.AddUnjudged(Kind::BeyondLatin1);
  else
    column.Add(Text(scratch.data(), length), Kind::Str);
}

// Where the answers for a column go: zeroed bytearrays, one per field of
// the answer, filled without the GIL.
struct Outputs {
  PyObject* arrays[4] = {};
  unsigned char* data[4] = {};
  int count = 0;

  Outputs() = default;
  Outputs(const Outputs&) = delete;
  Outputs& operator=(const Outputs&) = delete;
  ~Outputs() {
    for (int i = 0; i < count; ++i) Py_XDECREF(arrays[i]);
  }

  bool Add(std::size_t bytes) {
    PyObject* array = PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(bytes));
    if (array == nullptr) return false;
    arrays[count] = array;
    data[count] = reinterpret_cast<unsigned char*>(PyByteArray_AS_STRING(array));
    std::memset(data[count], 0, bytes);
    ++count;
    return true;
  }
  PyObject* Release() {
    PyObject* result = count == 1 ? arrays[0] : nullptr;
    if (count > 1) {
      result = PyTuple_New(count);
      if (result == nullptr) return nullptr;
      for (int i = 0; i < count; ++i) PyTuple_SET_ITEM(result, i, arrays[i]);
    }
    count = 0;
    return result;
  }
};

void PutInt32(unsigned char* out, std::size_t row, int32_t value) { std::memcpy(out + 4 * row, &value, 4); }

// Runs without the GIL: reads only the column and writes only the outputs.
void JudgeColumn(Op op, const Column& column, Date today, unsigned char* const* out, char* masked) {
  const std::size_t rows = column.rows();
  auto each = [&](auto&& judge) {
    for (std::size_t row = 0; row < rows; ++row)
      if (IsText(column.kind(row))) judge(row, column.text(row));
  };
  switch (op) {
    case Op::CheckOrganization: return each([&](std::size_t r, Text t) { out[0][r] = tessera::CheckOrganization(t); });
    case Op::CheckNumber: return each([&](std::size_t r, tessera::PaddedText t) { out[0][r] = tessera::CheckNumberPadded(t); });
    case Op::CheckCard: return each([&](std::size_t r, tessera::PaddedText t) { out[0][r] = tessera::JudgeCardPadded(t).valid(); });
    case Op::CheckGpaNo: return each([&](std::size_t r, Text t) { out[0][r] = tessera::CheckGPANo(t); });
    case Op::CheckGpaNoExpired:
      return each([&](std::size_t r, Text t) { out[0][r] = tessera::JudgeId(t, today).unexpired; });
    case Op::GpaAge: return each([&](std::size_t r, Text t) { PutInt32(out[0], r, tessera::JudgeId(t, today).age); });
    case Op::CardBrand:
      return each([&](std::size_t r, Text t) { out[0][r] = static_cast<unsigned char>(tessera::BrandOf(t)); });
    case Op::CardVerdict:
      return each([&](std::size_t r, tessera::PaddedText t) {
        const tessera::CardVerdict verdict = tessera::JudgeCardPadded(t);
        out[0][r] = verdict.valid();
        out[1][r] = static_cast<unsigned char>(verdict.brand);
        out[2][r] = verdict.checksum;
      });
    case Op::IdVerdict:
      return each([&](std::size_t r, Text t) {
        const tessera::IdVerdict verdict = tessera::JudgeId(t, today);
        out[0][r] = verdict.valid();
        out[1][r] = verdict.check_digits;
        out[2][r] = verdict.unexpired;
        PutInt32(out[3], r, verdict.age);
      });
    case Op::MaskCard:
      return each([&](std::size_t r, Text t) { tessera::MaskCardNumber(t, masked + column.start(r)); });
    default: {
      const Brand brand = Info(op).brand;
      return each([&](std::size_t r, Text t) { out[0][r] = tessera::BrandOf(t) == brand; });
    }
  }
}

PyObject* MaskedObjects(const Column& column, const std::vector<char>& masked) {
  const std::size_t rows = column.rows();
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(rows));
  if (list == nullptr) return nullptr;
  for (std::size_t row = 0; row < rows; ++row) {
    const auto length = static_cast<Py_ssize_t>(column.text(row).size());
    const char* text = masked.data() + column.start(row);
    PyObject* item = nullptr;
    switch (column.kind(row)) {
      case Kind::Bytes: item = PyBytes_FromStringAndSize(text, length); break;
      case Kind::Str: item = PyUnicode_DecodeLatin1(text, length, nullptr); break;
      default:
        item = Py_None;
        Py_INCREF(item);
        break;
    }
    if (item == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(row), item);
  }
  return list;
}

// Which rows were missing values, one byte each; None when none was.
PyObject* MissingRows(const Column& column) {
  const std::size_t rows = column.rows();
  std::size_t row = 0;
  while (row < rows && column.kind(row) != Kind::Missing) ++row;
  if (row == rows) Py_RETURN_NONE;
  PyObject* missing = PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(rows));
  if (missing == nullptr) return nullptr;
  char* flags = PyByteArray_AS_STRING(missing);
  for (row = 0; row < rows; ++row) flags[row] = column.kind(row) == Kind::Missing;
  return missing;
}

// (answers, missing rows): the answers as raw bytes (bytearrays, or a tuple
// of them for the verdicts; a list of texts from mask_card), and MissingRows.
PyObject* JudgeAndAnswer(Op op, Column& column, PyObject* today_given) {
  Date today{};
  if ((op == Op::CheckGpaNoExpired || op == Op::GpaAge || op == Op::IdVerdict) && ReadToday(today_given, &today) < 0)
    return nullptr;
  column.Pad();
  const std::size_t rows = column.rows();
  Outputs outputs;
  std::vector<char> masked;
  bool made = true;
  switch (op) {
    case Op::GpaAge: made = outputs.Add(4 * rows); break;
    case Op::CardVerdict: made = outputs.Add(rows) && outputs.Add(rows) && outputs.Add(rows); break;
    case Op::IdVerdict: made = outputs.Add(rows) && outputs.Add(rows) && outputs.Add(rows) && outputs.Add(4 * rows); break;
    case Op::MaskCard: masked.resize(column.text_bytes()); break;
    default: made = outputs.Add(rows); break;
  }
  if (!made) return nullptr;
  Py_BEGIN_ALLOW_THREADS
  JudgeColumn(op, column, today, outputs.data, masked.data());
  Py_END_ALLOW_THREADS
  PyObject* answers = op == Op::MaskCard ? MaskedObjects(column, masked) : outputs.Release();
  if (answers == nullptr) return nullptr;
  PyObject* missing = MissingRows(column);
  if (missing == nullptr) {
    Py_DECREF(answers);
    return nullptr;
  }
  return Py_BuildValue("(NN)", answers, missing);
}

bool ReadOp(int number, Op* op) {
  if (number < 0 || number >= kOpCount) {
    PyErr_Format(PyExc_ValueError, "no check numbered %d", number);
    return false;
  }
  *op = static_cast<Op>(number);
  return true;
}

PyObject* JudgeObjects(PyObject*, PyObject* args) {
  int op_number;
  PyObject *items, *today, *missing, *labels;
  if (!PyArg_ParseTuple(args, "iOOO!O:_judge_objects", &op_number, &items, &today, &PyTuple_Type, &missing, &labels))
    return nullptr;
  Op op;
  if (!ReadOp(op_number, &op)) return nullptr;
  if (!PyList_Check(items) && !PyTuple_Check(items)) {
    PyErr_SetString(PyExc_TypeError, "_judge_objects() expects a list or a tuple");
    return nullptr;
  }
  try {
    Column column(static_cast<std::size_t>(PySequence_Fast_GET_SIZE(items)));
    // The size is read afresh each time: reading an exotic buffer may run
    // code that changes the list.
    for (Py_ssize_t row = 0; row < PySequence_Fast_GET_SIZE(items); ++row)
      if (AddObject(column, op, PySequence_Fast_GET_ITEM(items, row), missing, labels, row) < 0) return nullptr;
    return JudgeAndAnswer(op, column, today);
  } catch (const std::exception&) {  // only allocation can fail here
    return PyErr_NoMemory();
  }
}

// A one-dimensional NumPy array of objects, read in place: its data is the
// array of object pointers that __array_interface__ describes. NumPy's own
// headers are not needed for that, so the module builds without NumPy.
// 0 with *items and *count set, or -1 with an error set.
int ObjectArrayItems(PyObject* array, PyObject* const** items, Py_ssize_t* count) {
  PyObject* interface = PyObject_GetAttrString(array, "__array_interface__");
  if (interface == nullptr) return -1;
  int result = -1;
  PyObject* typestr = PyDict_Check(interface) ? PyDict_GetItemString(interface, "typestr") : nullptr;
  PyObject* shape = PyDict_Check(interface) ? PyDict_GetItemString(interface, "shape") : nullptr;
  PyObject* strides = PyDict_Check(interface) ? PyDict_GetItemString(interface, "strides") : nullptr;
  PyObject* data = PyDict_Check(interface) ? PyDict_GetItemString(interface, "data") : nullptr;
  if (typestr == nullptr || !PyUnicode_Check(typestr) || PyUnicode_CompareWithASCIIString(typestr, "|O") != 0 ||
      shape == nullptr || !PyTuple_Check(shape) || PyTuple_GET_SIZE(shape) != 1 ||
      (strides != nullptr && strides != Py_None) || data == nullptr || !PyTuple_Check(data) ||
      PyTuple_GET_SIZE(data) < 1) {
    PyErr_SetString(PyExc_TypeError, "_judge_object_array() expects a contiguous one-dimensional array of objects");
  } else {
    *count = PyLong_AsSsize_t(PyTuple_GET_ITEM(shape, 0));
    *items = static_cast<PyObject* const*>(PyLong_AsVoidPtr(PyTuple_GET_ITEM(data, 0)));
    if (!PyErr_Occurred()) result = 0;
  }
  Py_DECREF(interface);
  return result;
}

PyObject* JudgeObjectArray(PyObject*, PyObject* args) {
  int op_number;
  PyObject *array, *today, *missing, *labels;
  if (!PyArg_ParseTuple(args, "iOOO!O:_judge_object_array", &op_number, &array, &today, &PyTuple_Type, &missing,
                        &labels))
    return nullptr;
  Op op;
  PyObject* const* items = nullptr;
  Py_ssize_t count = 0;
  if (!ReadOp(op_number, &op) || ObjectArrayItems(array, &items, &count) < 0) return nullptr;
  try {
    Column column(static_cast<std::size_t>(count));
    for (Py_ssize_t row = 0; row < count; ++row)
      if (AddObject(column, op, items[row], missing, labels, row) < 0) return nullptr;
    return JudgeAndAnswer(op, column, today);
  } catch (const std::exception&) {  // only allocation can fail here
    return PyErr_NoMemory();
  }
}

PyObject* JudgeFixed(PyObject*, PyObject* args) {
  int op_number, ucs4;
  PyObject *array, *today;
  Py_ssize_t itemsize;
  if (!PyArg_ParseTuple(args, "iOnpO:_judge_fixed", &op_number, &array, &itemsize, &ucs4, &today)) return nullptr;
  Op op;
  if (!ReadOp(op_number, &op)) return nullptr;
  if (itemsize < 0 || (ucs4 && itemsize % 4 != 0)) {
    PyErr_SetString(PyExc_ValueError, "_judge_fixed(): bad item size");
    return nullptr;
  }
  Py_buffer view;
  if (PyObject_GetBuffer(array, &view, PyBUF_SIMPLE) < 0) return nullptr;
  try {
    const auto size = static_cast<std::size_t>(itemsize);
    if (size == 0 ? view.len != 0 : view.len % itemsize != 0) {
      PyBuffer_Release(&view);
      PyErr_SetString(PyExc_ValueError, "_judge_fixed(): the buffer is not a whole number of items");
      return nullptr;
    }
    const std::size_t rows = size == 0 ? 0 : static_cast<std::size_t>(view.len) / size;
    Column column(rows);
    std::vector<char> scratch;
    const auto* bytes = static_cast<const unsigned char*>(view.buf);
    for (std::size_t row = 0; row < rows; ++row) AddFixed(column, op, bytes + row * size, size, ucs4 != 0, scratch);
    PyBuffer_Release(&view);
    return JudgeAndAnswer(op, column, today);
  } catch (const std::exception&) {  // only allocation can fail here
    PyBuffer_Release(&view);
    return PyErr_NoMemory();
  }
}

PyObject* SetColumnHook(PyObject*, PyObject* hook) {
  if (!PyCallable_Check(hook)) {
    PyErr_SetString(PyExc_TypeError, "the column hook must be callable");
    return nullptr;
  }
  Py_INCREF(hook);
  Py_XSETREF(g_column_hook, hook);
  Py_RETURN_NONE;
}

// ---------------------------------------------------------------------------
// The public functions

template <Op op>
PyObject* OneArgument(PyObject*, PyObject* number) {
  return Dispatch(op, number, nullptr);
}

// (number, /, today=None)
template <Op op>
PyObject* WithToday(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* number = nargs >= 1 ? args[0] : nullptr;
  PyObject* today = nargs >= 2 ? args[1] : nullptr;
  if (nargs < 1 || nargs > 2) {
    PyErr_Format(PyExc_TypeError, "%s() takes 1 or 2 positional arguments (%zd given)", Info(op).name, nargs);
    return nullptr;
  }
  const Py_ssize_t keywords = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t i = 0; i < keywords; ++i) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, i);
    if (PyUnicode_CompareWithASCIIString(name, "today") != 0 || today != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected or repeated keyword argument '%U'", Info(op).name, name);
      return nullptr;
    }
    today = args[nargs + i];
  }
  return Dispatch(op, number, today);
}

#define TESSERA_ONE(name, op, doc) {name, OneArgument<op>, METH_O, PyDoc_STR(doc)}
#define TESSERA_DATED(name, op, doc) \
  {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(WithToday<op>)), METH_FASTCALL | METH_KEYWORDS, PyDoc_STR(doc)}

#define TESSERA_COLUMNS \
  "\n\nA pandas Series gives a Series with the same index, in a nullable dtype (boolean, Int32, string): " \
  "missing values (None, NaN, pandas.NA) get <NA>. A list, tuple or other iterable, or a NumPy array, gives " \
  "a NumPy array with one answer per element, masked (numpy.ma) where values were missing. Str with " \
  "characters beyond Latin-1 get the answer no (False, 0 or \"none\")."

#define TESSERA_TEXT \
  "\n\n`number` is a str (each character one Latin-1 byte) or a bytes-like object; every byte counts, " \
  "NUL bytes included. A str with characters beyond Latin-1 is never a valid number: the answer is False. " \
  "An integer (int or NumPy's) is its decimal digits. A float is a TypeError (its digits may be lost): " \
  "read such numbers as text. None and NaN are missing: the answer is None."

PyMethodDef kMethods[] = {
    TESSERA_ONE("is_amex", Op::IsAmex, "is_amex(number, /)\n--\n\n"
        "True when `number` has the length and prefix of American Express: 15 characters starting \"34\" or \"37\"."
        " The checksum is not looked at." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("is_dc", Op::IsDC, "is_dc(number, /)\n--\n\n"
        "True when `number` has the length and prefix of Diners Club: 14 characters starting \"36\", \"38\" or "
        "\"300\" to \"305\". The checksum is not looked at." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("is_disc", Op::IsDisc, "is_disc(number, /)\n--\n\n"
        "True when `number` has the length and prefix of Discover: 16 characters starting \"6011\"."
        " The checksum is not looked at." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("is_jcb", Op::IsJcb, "is_jcb(number, /)\n--\n\n"
        "True when `number` has the length and prefix of JCB: 15 or 16 characters starting \"1800\", \"2131\", "
        "or \"3\" when it is not American Express. The checksum is not looked at." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("is_mc", Op::IsMc, "is_mc(number, /)\n--\n\n"
        "True when `number` has the length and prefix of MasterCard: 16 characters starting \"51\" to \"55\"."
        " The checksum is not looked at." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("is_visa", Op::IsVisa, "is_visa(number, /)\n--\n\n"
        "True when `number` has the length and prefix of Visa: 13 or 16 characters starting \"4\"."
        " The checksum is not looked at." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("check_organization", Op::CheckOrganization, "check_organization(number, /)\n--\n\n"
        "True when `number` has the length and prefix of any of the six card brands." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("check_number", Op::CheckNumber, "check_number(number, /)\n--\n\n"
        "True when the Luhn (mod 10) sum of `number` is divisible by 10. Characters that are not digits count 0 "
        "but keep their place, so the empty text and text without digits pass." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("check_card", Op::CheckCard, "check_card(number, /)\n--\n\n"
        "True when `number` is a valid card number: it has a known brand (check_organization) and passes the "
        "Luhn checksum (check_number)." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_ONE("check_gpa_no", Op::CheckGpaNo, "check_gpa_no(number, /)\n--\n\n"
        "True when `number` is a GPA number: 29 characters, \"-\" at positions 12, 20 and 28, and four correct "
        "7-3-1 check digits." TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_DATED("check_gpa_no_expired", Op::CheckGpaNoExpired, "check_gpa_no_expired(number, /, today=None)\n--\n\n"
        "True when `number` passes check_gpa_no and the document has NOT expired on `today`: True means still "
        "valid, the expiry day itself included, despite the name. Two-digit expiry years below 80 are in the "
        "2000s, the others in the 1900s. `today` is a datetime.date; None means the local date."
        TESSERA_TEXT TESSERA_COLUMNS),
    TESSERA_DATED("gpa_age", Op::GpaAge, "gpa_age(number, /, today=None)\n--\n\n"
        "The holder's age in years on `today`, from the two-digit birth year and the current two-digit year "
        "alone (1 to 100; born in the current two-digit year is 100); 0 when `number` does not pass check_gpa_no."
        " `today` is a datetime.date; None means the local date." TESSERA_TEXT
        "\n\nFor a column, int32 answers (Int32 for a Series); str beyond Latin-1 get 0."),
    TESSERA_ONE("card_brand", Op::CardBrand, "card_brand(number, /)\n--\n\n"
        "The name of the card brand whose length and prefix `number` has (\"American Express\", \"Diners Club\", "
        "\"Discover\", \"JCB\", \"MasterCard\", \"Visa\"), or \"none\" (a true value: compare with \"none\")."
        TESSERA_TEXT "\n\nFor a column, these names (objects; string for a Series); missing values stay missing."),
    TESSERA_ONE("card_verdict", Op::CardVerdict, "card_verdict(number, /)\n--\n\n"
        "Why a card number is valid or not: CardVerdict(valid, brand, checksum), where brand is as card_brand "
        "gives it and checksum as check_number; valid is check_card." TESSERA_TEXT
        "\n\nFor a column, a pandas DataFrame with the columns valid, brand (categorical) and checksum, one row "
        "per element (a dict of NumPy arrays when pandas is not installed)."),
    TESSERA_DATED("id_verdict", Op::IdVerdict, "id_verdict(number, /, today=None)\n--\n\n"
        "Why a GPA number is valid or not on `today`: IdVerdict(valid, check_digits, unexpired, age), where "
        "check_digits is check_gpa_no, unexpired is check_gpa_no_expired (True means NOT expired), age is "
        "gpa_age and valid is check_digits and unexpired together." TESSERA_TEXT
        "\n\nFor a column, a pandas DataFrame with these four columns (a dict of NumPy arrays without pandas)."),
    TESSERA_ONE("mask_card", Op::MaskCard, "mask_card(number, /)\n--\n\n"
        "`number` as it may be shown to people: every digit but the first six and the last four becomes \"*\"; "
        "other characters stay where they are (\"4111 1111 1111 1111\" gives \"4111 11** **** 1111\"). A str "
        "gives a str, a bytes-like object bytes. Characters beyond Latin-1 are shown as \"*\".\n\nFor a column, a "
        "NumPy array of objects (string for a Series of str); missing values stay missing."),
    {"_judge_objects", JudgeObjects, METH_VARARGS, PyDoc_STR("_judge_objects(op, items, today, missing, labels, /)")},
    {"_judge_object_array", JudgeObjectArray, METH_VARARGS,
     PyDoc_STR("_judge_object_array(op, array, today, missing, labels, /)")},
    {"_judge_fixed", JudgeFixed, METH_VARARGS, PyDoc_STR("_judge_fixed(op, array, itemsize, ucs4, today, /)")},
    {"_set_column_hook", SetColumnHook, METH_O, PyDoc_STR("_set_column_hook(hook, /)")},
    {nullptr, nullptr, 0, nullptr},
};

PyStructSequence_Field kCardVerdictFields[] = {
    {"valid", "a known brand and a passing checksum"},
    {"brand", "the brand's name, or \"none\""},
    {"checksum", "the Luhn sum is divisible by 10"},
    {nullptr, nullptr},
};
PyStructSequence_Desc kCardVerdictDesc = {"tessera.CardVerdict", "Why a card number is valid or not.",
                                          kCardVerdictFields, 3};

PyStructSequence_Field kIdVerdictFields[] = {
    {"valid", "right check digits and not expired"},
    {"check_digits", "29 characters, the separators and four correct check digits"},
    {"unexpired", "still valid on the day judged (only with right check digits)"},
    {"age", "the holder's age in years (0 without right check digits)"},
    {nullptr, nullptr},
};
PyStructSequence_Desc kIdVerdictDesc = {"tessera.IdVerdict", "Why a GPA number is valid or not.", kIdVerdictFields, 4};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT, "tessera._tessera", "The Tessera checks, built from the library's own sources.", -1,
    kMethods, nullptr, nullptr, nullptr, nullptr,
};

int AddObjects(PyObject* module) {
  if (PyModule_AddStringConstant(module, "__version__", TESSERA_VERSION) < 0) return -1;
  PyDateTime_IMPORT;
  if (PyDateTimeAPI == nullptr) return -1;
  PyObject* names = PyTuple_New(static_cast<Py_ssize_t>(tessera::kBrandCount));
  if (names == nullptr) return -1;
  for (std::size_t i = 0; i < tessera::kBrandCount; ++i) {
    const Text name = tessera::BrandName(static_cast<Brand>(i));
    PyObject* str = PyUnicode_InternFromString(std::string(name).c_str());
    if (str == nullptr) {
      Py_DECREF(names);
      return -1;
    }
    g_brand_names[i] = str;
    Py_INCREF(str);
    PyTuple_SET_ITEM(names, static_cast<Py_ssize_t>(i), str);
  }
  if (PyModule_AddObject(module, "BRANDS", names) < 0) {
    Py_DECREF(names);
    return -1;
  }
  g_card_verdict_type = PyStructSequence_NewType(&kCardVerdictDesc);
  g_id_verdict_type = PyStructSequence_NewType(&kIdVerdictDesc);
  if (g_card_verdict_type == nullptr || g_id_verdict_type == nullptr) return -1;
  Py_INCREF(g_card_verdict_type);
  Py_INCREF(g_id_verdict_type);
  if (PyModule_AddObject(module, "CardVerdict", reinterpret_cast<PyObject*>(g_card_verdict_type)) < 0 ||
      PyModule_AddObject(module, "IdVerdict", reinterpret_cast<PyObject*>(g_id_verdict_type)) < 0)
    return -1;
  PyObject* ops = PyDict_New();
  if (ops == nullptr) return -1;
  for (int i = 0; i < kOpCount; ++i) {
    PyObject* number = PyLong_FromLong(i);
    const int failed = number == nullptr || PyDict_SetItemString(ops, kOps[i].name, number) < 0;
    Py_XDECREF(number);
    if (failed) {
      Py_DECREF(ops);
      return -1;
    }
  }
  if (PyModule_AddObject(module, "_OPS", ops) < 0) {
    Py_DECREF(ops);
    return -1;
  }
  return 0;
}

}  // namespace

PyMODINIT_FUNC PyInit__tessera() {
  PyObject* module = PyModule_Create(&kModule);
  if (module == nullptr) return nullptr;
  if (AddObjects(module) < 0) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
