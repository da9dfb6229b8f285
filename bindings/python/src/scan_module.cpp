// scan_module.cpp -- tessera._scan: the finder and redactor over one text, the GIL released while they run
//
// A str is handed over as its UTF-8 bytes; digits, spaces and hyphens are
// ASCII, so a finding's bytes are its characters and only the offsets need
// counting back into characters. bytes-like objects are read as they are.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <vector>

#include "cards/mask.h"
#include "tessera_scan.h"

namespace {

// The bytes of a str or a bytes-like object, held for as long as the call.
struct Input {
  const char* data = nullptr;
  Py_ssize_t size = 0;
  bool is_str = false;
  bool ascii = true;
  Py_buffer view{};
  bool has_view = false;

  ~Input() {
    if (has_view) PyBuffer_Release(&view);
  }
  bool Take(PyObject* object) {
    if (PyUnicode_Check(object)) {
      is_str = true;
      ascii = PyUnicode_IS_ASCII(object);
      data = PyUnicode_AsUTF8AndSize(object, &size);
      return data != nullptr;
    }
    if (PyObject_GetBuffer(object, &view, PyBUF_SIMPLE) != 0) {
      PyErr_Format(PyExc_TypeError, "a str or a bytes-like object is needed, not %.100s", Py_TYPE(object)->tp_name);
      return false;
    }
    has_view = true;
    data = static_cast<const char*>(view.buf);
    size = view.len;
    return true;
  }
};

bool RuleOf(int luhn_only) { return luhn_only != 0; }

int Collect(void* context, const tessera_finding* f) {
  static_cast<std::vector<tessera_finding>*>(context)->push_back(*f);
  return 0;
}

PyObject* Find(PyObject*, PyObject* args) {
  PyObject* object;
  int luhn_only = 0;
  if (!PyArg_ParseTuple(args, "O|p", &object, &luhn_only)) return nullptr;
  Input in;
  if (!in.Take(object)) return nullptr;
  std::vector<tessera_finding> found;
  tessera_scanner* scanner = tessera_scanner_new(RuleOf(luhn_only) ? TESSERA_SCAN_LUHN_ONLY : TESSERA_SCAN_CARD);
  if (scanner == nullptr) return PyErr_NoMemory();
  Py_BEGIN_ALLOW_THREADS
  tessera_scanner_feed(scanner, in.data, static_cast<size_t>(in.size), Collect, &found);
  tessera_scanner_finish(scanner, Collect, &found);
  Py_END_ALLOW_THREADS
  tessera_scanner_free(scanner);
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(found.size()));
  if (list == nullptr) return nullptr;
  // Characters before each finding, counted on from the last: UTF-8 lead bytes only.
  Py_ssize_t chars = 0;
  std::size_t counted = 0;
  for (std::size_t i = 0; i < found.size(); ++i) {
    const tessera_finding& f = found[i];
    Py_ssize_t start = static_cast<Py_ssize_t>(f.offset);
    if (in.is_str && !in.ascii) {
      for (; counted < f.offset; ++counted) chars += (static_cast<unsigned char>(in.data[counted]) & 0xC0) != 0x80;
      start = chars;
    }
    std::string masked(f.length, '\0');
    tessera::MaskCardNumber(tessera::Text(in.data + f.offset, f.length), masked.data());
    PyObject* row = Py_BuildValue("(nnss#)", start, start + static_cast<Py_ssize_t>(f.length),
                                  tessera_brand_name(f.brand), masked.data(), static_cast<Py_ssize_t>(masked.size()));
    if (row == nullptr) {
      Py_DECREF(list);
      return nullptr;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), row);
  }
  return list;
}

PyObject* Redact(PyObject*, PyObject* args) {
  PyObject* object;
  int form = TESSERA_REDACT_MASK;
  const char* replacement = "";
  Py_ssize_t replacement_size = 0;
  int luhn_only = 0;
  if (!PyArg_ParseTuple(args, "Ois#p", &object, &form, &replacement, &replacement_size, &luhn_only)) return nullptr;
  Input in;
  if (!in.Take(object)) return nullptr;
  const tessera_redact_options options = {form, RuleOf(luhn_only) ? TESSERA_SCAN_LUHN_ONLY : TESSERA_SCAN_CARD,
                                          replacement, static_cast<size_t>(replacement_size)};
  std::string out;
  std::size_t needed = 0;
  Py_BEGIN_ALLOW_THREADS
  // The masks keep the size; a replacement may need a second call.
  out.resize(static_cast<std::size_t>(in.size));
  needed = tessera_redact(in.data, static_cast<size_t>(in.size), &options, out.data(), out.size());
  if (needed > out.size()) {
    out.resize(needed);
    tessera_redact(in.data, static_cast<size_t>(in.size), &options, out.data(), out.size());
  }
  out.resize(needed);
  Py_END_ALLOW_THREADS
  const Py_ssize_t size = static_cast<Py_ssize_t>(out.size());
  return in.is_str ? PyUnicode_DecodeUTF8(out.data(), size, "surrogatepass") : PyBytes_FromStringAndSize(out.data(), size);
}

PyObject* Contains(PyObject*, PyObject* args) {
  PyObject* object;
  int luhn_only = 0;
  if (!PyArg_ParseTuple(args, "O|p", &object, &luhn_only)) return nullptr;
  Input in;
  if (!in.Take(object)) return nullptr;
  bool found = false;
  Py_BEGIN_ALLOW_THREADS
  found = tessera_contains_card(in.data, static_cast<size_t>(in.size),
                                RuleOf(luhn_only) ? TESSERA_SCAN_LUHN_ONLY : TESSERA_SCAN_CARD);
  Py_END_ALLOW_THREADS
  return PyBool_FromLong(found);
}

PyMethodDef kMethods[] = {
    {"find", Find, METH_VARARGS, "find(text, luhn_only=False): [(start, end, brand, masked)]"},
    {"redact", Redact, METH_VARARGS, "redact(text, form, replacement, luhn_only): the text redacted"},
    {"contains", Contains, METH_VARARGS, "contains(text, luhn_only=False): whether text holds a card number"},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef kModule = {PyModuleDef_HEAD_INIT, "tessera._scan", "The finder and redactor over one text.", -1,
                       kMethods, nullptr, nullptr, nullptr, nullptr};

}  // namespace

PyMODINIT_FUNC PyInit__scan() {
  PyObject* module = PyModule_Create(&kModule);
  if (module == nullptr) return nullptr;
  PyModule_AddIntConstant(module, "MASK", TESSERA_REDACT_MASK);
  PyModule_AddIntConstant(module, "FIRST6LAST4", TESSERA_REDACT_FIRST6LAST4);
  PyModule_AddIntConstant(module, "REPLACE", TESSERA_REDACT_REPLACE);
  return module;
}
