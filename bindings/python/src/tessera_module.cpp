// tessera_module.cpp -- the checks as a CPython extension: one number at a time, or whole columns
//
// Every function is an operation of the table in frame/operations.h, and
// tessera_text.h answers it: one number by its tessera_text_ form, a column
// by its tessera_large_strings_ form. One number: a str (read as Latin-1) or
// a bytes-like object goes to the check as it stands, NUL bytes and all.
// Anything else goes to the column hook that the Python package installs;
// it turns lists, NumPy arrays and pandas Series into calls of
// _judge_objects, _judge_object_array or _judge_fixed, which copy every text
// into one buffer while they hold the GIL and judge the buffer without it.
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <datetime.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "docstrings.h"
#include "frame/operations.h"
#include "tessera_text.h"

namespace {

// What one argument, or one row of a column, turned out to be. Missing values
// and str with characters beyond Latin-1 have no text to judge: every check
// answers no, 0 or "none" for them.
enum class Kind : unsigned char { Bytes, Str, Missing, BeyondLatin1 };

bool IsText(Kind kind) { return kind == Kind::Bytes || kind == Kind::Str; }

// A character beyond Latin-1 in a text to be masked is shown as this, so
// that digits in other scripts are never shown either.
constexpr char kHidden = '*';

// Bytes to judge, borrowed.
struct Text {
  const char* data = nullptr;
  std::size_t size = 0;
};

// Set once, at import.
PyObject* g_column_hook = nullptr;
std::vector<PyObject*> g_brand_names;  // by tessera_brand
PyTypeObject* g_card_verdict_type = nullptr;
PyTypeObject* g_id_verdict_type = nullptr;

// ---------------------------------------------------------------------------
// The operations

// Python objects for the answers of tessera_text.h.
PyObject* ToPython(bool yes) { return PyBool_FromLong(yes); }
PyObject* ToPython(int32_t age) { return PyLong_FromLong(age); }

PyObject* ToPython(tessera_brand brand) {
  PyObject* name = g_brand_names[brand];
  Py_INCREF(name);
  return name;
}

// A new tuple of the objects, or nullptr when one of them is (their references are given up either way).
PyObject* TupleOf(std::initializer_list<PyObject*> items, PyTypeObject* type = nullptr) {
  bool made = true;
  for (PyObject* item : items) made = made && item != nullptr;
  PyObject* tuple = made ? (type ? PyStructSequence_New(type) : PyTuple_New(static_cast<Py_ssize_t>(items.size())))
                         : nullptr;
  Py_ssize_t i = 0;
  for (PyObject* item : items) {
    if (tuple == nullptr)
      Py_XDECREF(item);
    else if (type != nullptr)
      PyStructSequence_SetItem(tuple, i++, item);
    else
      PyTuple_SET_ITEM(tuple, i++, item);
  }
  return tuple;
}

PyObject* ToPython(tessera_card_verdict verdict) {
  return TupleOf({ToPython(verdict.valid), ToPython(verdict.brand), ToPython(verdict.checksum)}, g_card_verdict_type);
}

PyObject* ToPython(tessera_id_verdict verdict) {
  return TupleOf({ToPython(verdict.valid), ToPython(verdict.check_digits), ToPython(verdict.unexpired),
                  ToPython(verdict.age)},
                 g_id_verdict_type);
}

// The answers, named as the table names them.
enum class Answer { BOOL, AGE, BRAND, CARD_VERDICT, ID_VERDICT, MASKED };

// The C answer of a column function, and whether it takes a day.
template <class Judge>
struct ColumnForm;
template <class C>
struct ColumnForm<void (*)(const char*, const int64_t*, std::size_t, C*)> {
  using Answer = C;
  static constexpr bool kDated = false;
};
template <class C>
struct ColumnForm<void (*)(const char*, const int64_t*, std::size_t, const tessera_date*, C*)> {
  using Answer = C;
  static constexpr bool kDated = true;
};

struct Operation {
  const char* name;
  Answer answer;
  bool dated;
  // One text's answer as a Python object, or the answer for no text; not for MASKED.
  PyObject* (*one)(Text text, bool judged, const tessera_date* day);
  // The answers for a column: one C answer per text, or the masked bytes.
  void (*column)(const char* data, const int64_t* offsets, std::size_t count, const tessera_date* day, void* answers);
  std::size_t answer_size;
};

template <auto judge>
PyObject* AnswerOne(Text text, bool judged, const tessera_date* day) {
  using Judge = decltype(judge);
  if constexpr (std::is_invocable_v<Judge, const char*, std::size_t, const tessera_date*>) {
    return ToPython(judged ? judge(text.data, text.size, day) : decltype(judge(text.data, text.size, day)){});
  } else if constexpr (std::is_invocable_v<Judge, const char*, std::size_t>) {
    (void)day;
    return ToPython(judged ? judge(text.data, text.size) : decltype(judge(text.data, text.size)){});
  } else {  // masking keeps the type of its text: MaskOne
    (void)text, (void)judged, (void)day;
    return nullptr;
  }
}

template <auto judge>
void JudgeColumn(const char* data, const int64_t* offsets, std::size_t count, const tessera_date* day, void* answers) {
  using Form = ColumnForm<decltype(judge)>;
  auto* out = static_cast<typename Form::Answer*>(answers);
  if constexpr (Form::kDated) {
    judge(data, offsets, count, day, out);
  } else {
    (void)day;
    judge(data, offsets, count, out);
  }
}

#define TESSERA_OPERATION(name, Export, exported, arguments, answer, brand, longest, meaning)                       \
  {#name, Answer::answer, ColumnForm<decltype(&tessera_large_strings_##name)>::kDated, AnswerOne<tessera_text_##name>, \
   JudgeColumn<tessera_large_strings_##name>, sizeof(ColumnForm<decltype(&tessera_large_strings_##name)>::Answer)},
constexpr Operation kOperations[] = {TESSERA_OPERATIONS(TESSERA_OPERATION)};
#undef TESSERA_OPERATION
constexpr int kOperationCount = static_cast<int>(std::size(kOperations));

// The operations by name, for the functions' templates.
enum class Op : int {
#define TESSERA_OP(name, ...) name,
  TESSERA_OPERATIONS(TESSERA_OP)
#undef TESSERA_OP
};

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
      text_ = Text{PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object))};
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
    text_ = Text{static_cast<const char*>(view_.buf), static_cast<std::size_t>(view_.len)};
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
    text_ = Text{static_cast<const char*>(PyUnicode_DATA(str)), static_cast<std::size_t>(PyUnicode_GET_LENGTH(str))};
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
void FloatError(const Operation& op, PyObject* row) {
  const char* advice = "the digits of a number may be lost in a float; pass the numbers as text, "
                       "and read such a column as text: pandas.read_csv(..., dtype=str)";
  if (row == nullptr)
    PyErr_Format(PyExc_TypeError, "%s() takes no float: %s", op.name, advice);
  else
    PyErr_Format(PyExc_TypeError, "%s(): %U is a float: %s", op.name, row, advice);
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

// The day to judge on: `given` (a datetime.date), or for None a null *day,
// today by the local clock, which the checks read only when they need it.
// 0, or -1 with an error set.
int ReadDay(PyObject* given, tessera_date* storage, const tessera_date** day) {
  *day = nullptr;
  if (given == nullptr || given == Py_None) return 0;
  if (!PyDate_Check(given)) {
    PyErr_Format(PyExc_TypeError, "today must be a datetime.date, not %.100s", Py_TYPE(given)->tp_name);
    return -1;
  }
  *storage = {PyDateTime_GET_YEAR(given), PyDateTime_GET_MONTH(given), PyDateTime_GET_DAY(given)};
  *day = storage;
  return 0;
}

// ---------------------------------------------------------------------------
// One number

// str in, str out (Latin-1); bytes-like in, bytes out: the text as a column of one.
PyObject* MaskOne(const Operation& op, const TextArg& arg) {
  std::vector<char> latin1;
  Text text = arg.text();
  if (arg.kind() == Kind::BeyondLatin1) {
    latin1 = HiddenLatin1(arg.str());
    text = Text{latin1.data(), latin1.size()};
  }
  const int64_t offsets[] = {0, static_cast<int64_t>(text.size)};
  std::vector<char> masked(text.size);
  op.column(text.data, offsets, 1, nullptr, masked.data());
  if (arg.kind() == Kind::Bytes) return PyBytes_FromStringAndSize(masked.data(), static_cast<Py_ssize_t>(masked.size()));
  return PyUnicode_DecodeLatin1(masked.data(), static_cast<Py_ssize_t>(masked.size()), nullptr);
}

PyObject* Dispatch(const Operation& op, PyObject* number, PyObject* today) {
  try {
    TextArg arg;
    tessera_date storage;
    const tessera_date* day = nullptr;
    switch (arg.Take(number)) {
      case Taken::Number:
        if (op.dated && ReadDay(today, &storage, &day) < 0) return nullptr;
        if (op.answer == Answer::MASKED) return MaskOne(op, arg);
        return op.one(arg.text(), IsText(arg.kind()), day);
      case Taken::Missing:
        // Nothing to judge, as in a column; a bad `today` is still an error.
        if (op.dated && ReadDay(today, &storage, &day) < 0) return nullptr;
        Py_RETURN_NONE;
      case Taken::Float: FloatError(op, nullptr); return nullptr;
      case Taken::Error: return nullptr;
      case Taken::Other: break;
    }
    if (g_column_hook == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() expects a str, a bytes-like object or an integer, not %.100s", op.name,
                   Py_TYPE(number)->tp_name);
      return nullptr;
    }
    return PyObject_CallFunction(g_column_hook, "iOO", static_cast<int>(&op - kOperations), number,
                                 today ? today : Py_None);
  } catch (const std::exception&) {  // only allocation can fail here
    return PyErr_NoMemory();
  }
}

// ---------------------------------------------------------------------------
// Columns

// Every text of a column end to end, in the layout of an Arrow column of
// strings with 64-bit offsets. Rows are added by the million, so the
// common case costs no call: no copy routine for short texts, and a kind
// per row kept only once rows of more than one kind were added.
class Column {
 public:
  explicit Column(std::size_t rows) : capacity_(rows * 20 + 64), bytes_(new char[capacity_]) {
    offsets_.reserve(rows + 1);
    offsets_.push_back(0);
  }

  void Add(Text text, Kind kind) {
    char* to = Reserve(text.size);
    if (text.size >= 8 && text.size <= 16) {  // two overlapping words, within the text
      std::memcpy(to, text.data, 8);
      std::memcpy(to + text.size - 8, text.data + text.size - 8, 8);
    } else if (text.size != 0) {
      std::memcpy(to, text.data, text.size);
    }
    Added(text.size, kind);
  }
  void AddUnjudged(Kind kind) { Added(0, kind); }

  void Clear() {
    used_ = 0;
    offsets_.resize(1);
    first_ = Kind::Str;
    kinds_.clear();
    all_texts_ = true;
  }

  // Room for `size` more bytes, to be added with Added.
  char* Reserve(std::size_t size) {
    if (size > capacity_ - used_) [[unlikely]] {
      capacity_ = std::max(2 * capacity_, used_ + size);
      std::unique_ptr<char[]> more(new char[capacity_]);
      std::memcpy(more.get(), bytes_.get(), used_);
      bytes_ = std::move(more);
    }
    return bytes_.get() + used_;
  }
  void Added(std::size_t size, Kind kind) {
    if (kind != first_ || !kinds_.empty()) [[unlikely]] NoteKind(kind);
    used_ += size;
    offsets_.push_back(static_cast<int64_t>(used_));
  }

  std::size_t rows() const { return offsets_.size() - 1; }
  Kind kind(std::size_t row) const { return kinds_.empty() ? first_ : kinds_[row]; }
  bool all_texts() const { return kinds_.empty() ? IsText(first_) : all_texts_; }
  std::size_t start(std::size_t row) const { return static_cast<std::size_t>(offsets_[row]); }
  std::size_t size(std::size_t row) const { return static_cast<std::size_t>(offsets_[row + 1] - offsets_[row]); }
  std::size_t text_bytes() const { return used_; }

  // Runs without the GIL: reads only the column and writes only `answers`.
  void Judge(const Operation& op, const tessera_date* day, void* answers) const {
    Py_BEGIN_ALLOW_THREADS
    op.column(bytes_.get(), offsets_.data(), rows(), day, answers);
    Py_END_ALLOW_THREADS
  }

  // Rows without a text answer no, 0 or "none", whatever their empty slot gave.
  void ClearUnjudged(char* answers, std::size_t answer_size) const {
    for (std::size_t row = 0; !all_texts() && row < rows(); ++row)
      if (!IsText(kind(row))) std::memset(answers + row * answer_size, 0, answer_size);
  }

 private:
  void NoteKind(Kind kind) {
    if (rows() == 0) {
      first_ = kind;
      return;
    }
    if (kinds_.empty()) {
      kinds_.assign(rows(), first_);
      all_texts_ = IsText(first_);
    }
    kinds_.push_back(kind);
    all_texts_ = all_texts_ && IsText(kind);
  }

  std::size_t capacity_, used_ = 0;
  std::unique_ptr<char[]> bytes_;
  std::vector<int64_t> offsets_;
  Kind first_ = Kind::Str;     // the kind of every row while kinds_ is empty
  std::vector<Kind> kinds_;
  bool all_texts_ = true;      // once kinds_ is kept
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

// The rows of most columns, a str of one byte per character or a bytes
// object, added without a call; false for any other row.
inline bool AddText(Column& column, PyObject* item) {
  if (PyUnicode_CheckExact(item)) {
    if (!IsReady(item) || PyUnicode_KIND(item) != PyUnicode_1BYTE_KIND) return false;
    column.Add(Text{static_cast<const char*>(PyUnicode_DATA(item)), static_cast<std::size_t>(PyUnicode_GET_LENGTH(item))},
               Kind::Str);
    return true;
  }
  if (PyBytes_CheckExact(item)) {
    column.Add(Text{PyBytes_AS_STRING(item), static_cast<std::size_t>(PyBytes_GET_SIZE(item))}, Kind::Bytes);
    return true;
  }
  return false;
}

// Each row's object is read from memory as its turn comes; asking for the
// object some rows ahead hides most of the wait on a column of a million.
inline void Prefetch(PyObject* const* items, Py_ssize_t row, Py_ssize_t rows) {
#if defined(__GNUC__)
  constexpr Py_ssize_t kAhead = 16;
  if (row + kAhead < rows) __builtin_prefetch(items[row + kAhead]);
#else
  (void)items, (void)row, (void)rows;
#endif
}

// Any row: 0, or -1 with an error set.
int AddObject(Column& column, const Operation& op, PyObject* item, PyObject* missing, PyObject* labels, Py_ssize_t row) {
  if (PyUnicode_Check(item) && IsReady(item) && PyUnicode_KIND(item) == PyUnicode_1BYTE_KIND) {
    column.Add(Text{static_cast<const char*>(PyUnicode_DATA(item)), static_cast<std::size_t>(PyUnicode_GET_LENGTH(item))},
               Kind::Str);
    return 0;
  }
  if (PyBytes_Check(item)) {
    column.Add(Text{PyBytes_AS_STRING(item), static_cast<std::size_t>(PyBytes_GET_SIZE(item))}, Kind::Bytes);
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
    if (arg.kind() == Kind::BeyondLatin1 && op.answer == Answer::MASKED) {
      const std::vector<char> latin1 = HiddenLatin1(arg.str());
      column.Add(Text{latin1.data(), latin1.size()}, Kind::Str);
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
                     op.name, name, Py_TYPE(item)->tp_name);
      Py_DECREF(name);
    }
  }
  Py_DECREF(item);
  return taken == Taken::Number || taken == Taken::Missing ? 0 : -1;
}

// One fixed-width element of a NumPy array: NumPy itself reads the element
// without its trailing NUL bytes (or code points), so the checks do too.
void AddFixed(Column& column, const Operation& op, const unsigned char* item, std::size_t itemsize, bool ucs4) {
  if (!ucs4) {
    std::size_t length = itemsize;
    while (length > 0 && item[length - 1] == 0) --length;
    column.Add(Text{reinterpret_cast<const char*>(item), length}, Kind::Bytes);
    return;
  }
  std::size_t length = itemsize / 4;
  auto code_point = [item](std::size_t i) {
    uint32_t c;
    std::memcpy(&c, item + 4 * i, 4);
    return c;
  };
  while (length > 0 && code_point(length - 1) == 0) --length;
  // Each code point becomes its byte, straight into the column.
  char* to = column.Reserve(length);
  uint32_t high = 0;
  for (std::size_t i = 0; i < length; ++i) {
    const uint32_t c = code_point(i);
    high |= c >> 8;
    to[i] = c > 0xff ? kHidden : static_cast<char>(c);
  }
  if (high != 0 && op.answer != Answer::MASKED)
    column.AddUnjudged(Kind::BeyondLatin1);
  else
    column.Added(length, Kind::Str);
}

// One field of every verdict, as the package reads it: a bytearray of its values.
template <class Verdict, class Field>
PyObject* FieldOf(const std::vector<char>& verdicts, Field field) {
  using Value = std::remove_cvref_t<decltype(Verdict{}.*field)>;
  const std::size_t rows = verdicts.size() / sizeof(Verdict);
  PyObject* array = PyByteArray_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(rows * sizeof(Value)));
  if (array == nullptr) return nullptr;
  char* out = PyByteArray_AS_STRING(array);
  for (std::size_t row = 0; row < rows; ++row) {
    Verdict verdict;
    std::memcpy(&verdict, verdicts.data() + row * sizeof(Verdict), sizeof(Verdict));
    const Value value = verdict.*field;
    std::memcpy(out + row * sizeof(Value), &value, sizeof(Value));
  }
  return array;
}

// The answers of a column as the package reads them: a bytearray of the C
// answers, or a tuple of one bytearray per field of a verdict.
PyObject* AnswerObjects(const Operation& op, const std::vector<char>& answers) {
  switch (op.answer) {
    case Answer::CARD_VERDICT:
      using Card = tessera_card_verdict;
      return TupleOf({FieldOf<Card>(answers, &Card::valid), FieldOf<Card>(answers, &Card::brand),
                      FieldOf<Card>(answers, &Card::checksum)});
    case Answer::ID_VERDICT:
      using Id = tessera_id_verdict;
      return TupleOf({FieldOf<Id>(answers, &Id::valid), FieldOf<Id>(answers, &Id::check_digits),
                      FieldOf<Id>(answers, &Id::unexpired), FieldOf<Id>(answers, &Id::age)});
    default: return PyByteArray_FromStringAndSize(answers.data(), static_cast<Py_ssize_t>(answers.size()));
  }
}

// The masked texts, each of its row's type: str, bytes, or None for a missing value.
PyObject* MaskedObjects(const Column& column, const std::vector<char>& masked) {
  const std::size_t rows = column.rows();
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(rows));
  if (list == nullptr) return nullptr;
  for (std::size_t row = 0; row < rows; ++row) {
    const auto length = static_cast<Py_ssize_t>(column.size(row));
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

// A column of `rows` rows is read and judged a chunk at a time, so that
// each chunk's texts are judged while still in the caches. Masked texts
// become objects with their rows' types, and a day read from the clock is
// one day for the whole column: such columns are one chunk.
constexpr std::size_t kChunk = 4096;

// (answers, missing rows): AnswerObjects or MaskedObjects, and which rows
// were missing values (a bytearray of flags, or None when none was).
// `read(column, first, end)` adds rows [first, end) to the emptied column:
// 0, or -1 with an error set.
template <class Read>
PyObject* JudgeRows(const Operation& op, std::size_t rows, PyObject* today, Read&& read) {
  tessera_date storage;
  const tessera_date* day = nullptr;
  if (op.dated && ReadDay(today, &storage, &day) < 0) return nullptr;
  const bool whole = op.answer == Answer::MASKED || (op.dated && day == nullptr);
  const std::size_t chunk = whole ? std::max<std::size_t>(rows, 1) : kChunk;
  std::vector<char> answers(op.answer == Answer::MASKED ? 0 : rows * op.answer_size), masked;
  std::vector<char> missing;  // once a row was missing
  Column column(std::min(rows, chunk));
  for (std::size_t first = 0; first < rows; first += chunk) {
    const std::size_t end = std::min(rows, first + chunk);
    column.Clear();
    if (read(column, first, end) < 0) return nullptr;
    for (std::size_t row = 0; !column.all_texts() && row < column.rows(); ++row) {
      if (column.kind(row) != Kind::Missing) continue;
      missing.resize(rows);
      missing[first + row] = 1;
    }
    if (op.answer == Answer::MASKED) {
      masked.resize(column.text_bytes());
      column.Judge(op, day, masked.data());
    } else {
      column.Judge(op, day, answers.data() + first * op.answer_size);
      column.ClearUnjudged(answers.data() + first * op.answer_size, op.answer_size);
    }
  }
  PyObject* objects = op.answer == Answer::MASKED ? MaskedObjects(column, masked) : AnswerObjects(op, answers);
  if (objects == nullptr) return nullptr;
  if (missing.empty()) return Py_BuildValue("(NO)", objects, Py_None);
  PyObject* absent = PyByteArray_FromStringAndSize(missing.data(), static_cast<Py_ssize_t>(rows));
  if (absent == nullptr) {
    Py_DECREF(objects);
    return nullptr;
  }
  return Py_BuildValue("(NN)", objects, absent);
}

const Operation* ReadOp(int number) {
  if (number < 0 || number >= kOperationCount) {
    PyErr_Format(PyExc_ValueError, "no check numbered %d", number);
    return nullptr;
  }
  return &kOperations[number];
}

// Rows of Python objects: `items` as it is while they are read.
template <class Items>
PyObject* JudgeItems(const Operation& op, Py_ssize_t count, Items items, PyObject* today, PyObject* missing,
                     PyObject* labels) {
  return JudgeRows(op, static_cast<std::size_t>(count), today, [&](Column& column, std::size_t first, std::size_t end) {
    for (auto row = static_cast<Py_ssize_t>(first); row < static_cast<Py_ssize_t>(end); ++row) {
      PyObject* const* all = items(count);
      if (all == nullptr) return -1;
      Prefetch(all, row, static_cast<Py_ssize_t>(end));
      if (!AddText(column, all[row]) && AddObject(column, op, all[row], missing, labels, row) < 0) return -1;
    }
    return 0;
  });
}

PyObject* JudgeObjects(PyObject*, PyObject* args) {
  int op_number;
  PyObject *list, *today, *missing, *labels;
  if (!PyArg_ParseTuple(args, "iOOO!O:_judge_objects", &op_number, &list, &today, &PyTuple_Type, &missing, &labels))
    return nullptr;
  const Operation* op = ReadOp(op_number);
  if (op == nullptr) return nullptr;
  if (!PyList_Check(list) && !PyTuple_Check(list)) {
    PyErr_SetString(PyExc_TypeError, "_judge_objects() expects a list or a tuple");
    return nullptr;
  }
  // Reading an exotic buffer may run code that changes the list: its items
  // are looked up afresh for each row.
  auto items = [list](Py_ssize_t count) -> PyObject* const* {
    if (PySequence_Fast_GET_SIZE(list) == count) return PySequence_Fast_ITEMS(list);
    PyErr_SetString(PyExc_RuntimeError, "the list changed size while its numbers were read");
    return nullptr;
  };
  try {
    return JudgeItems(*op, PySequence_Fast_GET_SIZE(list), items, today, missing, labels);
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
  const Operation* op = ReadOp(op_number);
  PyObject* const* items = nullptr;
  Py_ssize_t count = 0;
  if (op == nullptr || ObjectArrayItems(array, &items, &count) < 0) return nullptr;
  try {
    return JudgeItems(*op, count, [items](Py_ssize_t) { return items; }, today, missing, labels);
  } catch (const std::exception&) {  // only allocation can fail here
    return PyErr_NoMemory();
  }
}

PyObject* JudgeFixed(PyObject*, PyObject* args) {
  int op_number, ucs4;
  PyObject *array, *today;
  Py_ssize_t itemsize;
  if (!PyArg_ParseTuple(args, "iOnpO:_judge_fixed", &op_number, &array, &itemsize, &ucs4, &today)) return nullptr;
  const Operation* op = ReadOp(op_number);
  if (op == nullptr) return nullptr;
  if (itemsize < 0 || (ucs4 && itemsize % 4 != 0)) {
    PyErr_SetString(PyExc_ValueError, "_judge_fixed(): bad item size");
    return nullptr;
  }
  Py_buffer view;
  if (PyObject_GetBuffer(array, &view, PyBUF_SIMPLE) < 0) return nullptr;
  PyObject* result = nullptr;
  try {
    const auto size = static_cast<std::size_t>(itemsize);
    if (size == 0 ? view.len != 0 : view.len % itemsize != 0) {
      PyErr_SetString(PyExc_ValueError, "_judge_fixed(): the buffer is not a whole number of items");
    } else {
      const std::size_t rows = size == 0 ? 0 : static_cast<std::size_t>(view.len) / size;
      const auto* bytes = static_cast<const unsigned char*>(view.buf);
      result = JudgeRows(*op, rows, today, [&](Column& column, std::size_t first, std::size_t end) {
        for (std::size_t row = first; row < end; ++row) AddFixed(column, *op, bytes + row * size, size, ucs4 != 0);
        return 0;
      });
    }
  } catch (const std::exception&) {  // only allocation can fail here
    PyErr_NoMemory();
  }
  PyBuffer_Release(&view);
  return result;
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
  return Dispatch(kOperations[static_cast<int>(op)], number, nullptr);
}

// (number, /, today=None)
template <Op op>
PyObject* WithToday(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  const char* name = kOperations[static_cast<int>(op)].name;
  PyObject* number = nargs >= 1 ? args[0] : nullptr;
  PyObject* today = nargs >= 2 ? args[1] : nullptr;
  if (nargs < 1 || nargs > 2) {
    PyErr_Format(PyExc_TypeError, "%s() takes 1 or 2 positional arguments (%zd given)", name, nargs);
    return nullptr;
  }
  const Py_ssize_t keywords = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t i = 0; i < keywords; ++i) {
    PyObject* keyword = PyTuple_GET_ITEM(kwnames, i);
    if (PyUnicode_CompareWithASCIIString(keyword, "today") != 0 || today != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected or repeated keyword argument '%U'", name, keyword);
      return nullptr;
    }
    today = args[nargs + i];
  }
  return Dispatch(kOperations[static_cast<int>(op)], number, today);
}

#define TESSERA_METHOD(name, Export, exported, arguments, answer, brand, longest, meaning) TESSERA_METHOD_##arguments(name),
#define TESSERA_METHOD_TEXT(name) {#name, OneArgument<Op::name>, METH_O, PyDoc_STR(TESSERA_DOC_##name)}
#define TESSERA_METHOD_TEXT_DAY(name)                                                                 \
  {#name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(WithToday<Op::name>)),          \
   METH_FASTCALL | METH_KEYWORDS, PyDoc_STR(TESSERA_DOC_##name)}

PyMethodDef kMethods[] = {
    TESSERA_OPERATIONS(TESSERA_METHOD)
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

// Adds `value` to the module under `name`, giving up the reference. 0, or -1 with an error set.
int AddToModule(PyObject* module, const char* name, PyObject* value) {
  if (value == nullptr) return -1;
  if (PyModule_AddObject(module, name, value) < 0) {
    Py_DECREF(value);
    return -1;
  }
  return 0;
}

int AddObjects(PyObject* module) {
  if (PyModule_AddStringConstant(module, "__version__", TESSERA_VERSION) < 0) return -1;
  PyDateTime_IMPORT;
  if (PyDateTimeAPI == nullptr) return -1;
  for (int brand = 0; const char* name = tessera_brand_name(static_cast<tessera_brand>(brand)); ++brand) {
    PyObject* str = PyUnicode_InternFromString(name);
    if (str == nullptr) return -1;
    g_brand_names.push_back(str);  // kept for the life of the process
  }
  PyObject* names = PyTuple_New(static_cast<Py_ssize_t>(g_brand_names.size()));
  for (std::size_t i = 0; names != nullptr && i < g_brand_names.size(); ++i) {
    Py_INCREF(g_brand_names[i]);
    PyTuple_SET_ITEM(names, static_cast<Py_ssize_t>(i), g_brand_names[i]);
  }
  if (AddToModule(module, "BRANDS", names) < 0) return -1;
  g_card_verdict_type = PyStructSequence_NewType(&kCardVerdictDesc);
  g_id_verdict_type = PyStructSequence_NewType(&kIdVerdictDesc);
  if (g_card_verdict_type == nullptr || g_id_verdict_type == nullptr) return -1;
  Py_INCREF(g_card_verdict_type);
  Py_INCREF(g_id_verdict_type);
  if (AddToModule(module, "CardVerdict", reinterpret_cast<PyObject*>(g_card_verdict_type)) < 0 ||
      AddToModule(module, "IdVerdict", reinterpret_cast<PyObject*>(g_id_verdict_type)) < 0)
    return -1;
  // The functions' numbers, as the column hook gets them: their places in the table.
  PyObject* ops = PyDict_New();
  if (ops == nullptr) return -1;
  for (int i = 0; i < kOperationCount; ++i) {
    PyObject* number = PyLong_FromLong(i);
    const int failed = number == nullptr || PyDict_SetItemString(ops, kOperations[i].name, number) < 0;
    Py_XDECREF(number);
    if (failed) {
      Py_DECREF(ops);
      return -1;
    }
  }
  return AddToModule(module, "_OPS", ops);
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
