// The framework's collections: CArray (a growable array), CList (a
// doubly-linked list walked with POSITION) and CMap (a hash map walked with
// POSITION, in no particular order), and their usual typed forms. An index
// outside an array throws CInvalidArgException.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/framework/CException.h"
#include "platform/framework/CString.h"

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray : public CObject {
 public:
  CArray() = default;

  INT_PTR GetSize() const { return static_cast<INT_PTR>(v_.size()); }
  INT_PTR GetCount() const { return GetSize(); }
  INT_PTR GetUpperBound() const { return GetSize() - 1; }
  BOOL IsEmpty() const { return v_.empty(); }
  void SetSize(INT_PTR size, INT_PTR = -1) {
    if (size < 0) AfxThrowInvalidArgException();
    v_.resize(static_cast<size_t>(size));
  }
  void RemoveAll() { v_.clear(); }
  void FreeExtra() { v_.shrink_to_fit(); }

  const TYPE& GetAt(INT_PTR i) const { return v_[Checked(i)]; }
  TYPE& GetAt(INT_PTR i) { return v_[Checked(i)]; }
  void SetAt(INT_PTR i, ARG_TYPE value) { v_[Checked(i)] = value; }
  TYPE& ElementAt(INT_PTR i) { return GetAt(i); }
  const TYPE& operator[](INT_PTR i) const { return GetAt(i); }
  TYPE& operator[](INT_PTR i) { return GetAt(i); }
  TYPE* GetData() { return v_.data(); }
  const TYPE* GetData() const { return v_.data(); }

  void SetAtGrow(INT_PTR i, ARG_TYPE value) {
    if (i < 0) AfxThrowInvalidArgException();
    if (i >= GetSize()) v_.resize(static_cast<size_t>(i) + 1);
    v_[static_cast<size_t>(i)] = value;
  }
  INT_PTR Add(ARG_TYPE value) {
    v_.push_back(value);
    return GetUpperBound();
  }
  INT_PTR Append(const CArray& other) {
    const INT_PTR old = GetSize();
    v_.insert(v_.end(), other.v_.begin(), other.v_.end());
    return old;
  }
  void Copy(const CArray& other) { v_ = other.v_; }
  void InsertAt(INT_PTR i, ARG_TYPE value, INT_PTR count = 1) {
    if (i < 0 || count < 0) AfxThrowInvalidArgException();
    if (i > GetSize()) v_.resize(static_cast<size_t>(i));
    v_.insert(v_.begin() + i, static_cast<size_t>(count), value);
  }
  void RemoveAt(INT_PTR i, INT_PTR count = 1) {
    if (i < 0 || count < 0 || i + count > GetSize()) AfxThrowInvalidArgException();
    v_.erase(v_.begin() + i, v_.begin() + i + count);
  }

 private:
  size_t Checked(INT_PTR i) const {
    if (i < 0 || i >= GetSize()) AfxThrowInvalidArgException();
    return static_cast<size_t>(i);
  }

  std::vector<TYPE> v_;
};

template <class TYPE, class ARG_TYPE = const TYPE&>
class CList : public CObject {
  struct Node {
    Node* prev;
    Node* next;
    TYPE data;
  };

 public:
  CList() = default;
  ~CList() override { RemoveAll(); }

  INT_PTR GetCount() const { return count_; }
  INT_PTR GetSize() const { return count_; }
  BOOL IsEmpty() const { return count_ == 0; }

  POSITION AddHead(ARG_TYPE value) { return Insert(nullptr, head_, value); }
  POSITION AddTail(ARG_TYPE value) { return Insert(tail_, nullptr, value); }
  POSITION InsertBefore(POSITION at, ARG_TYPE value) {
    return at ? Insert(N(at)->prev, N(at), value) : AddHead(value);
  }
  POSITION InsertAfter(POSITION at, ARG_TYPE value) { return at ? Insert(N(at), N(at)->next, value) : AddTail(value); }

  TYPE& GetHead() { return Must(head_)->data; }
  TYPE& GetTail() { return Must(tail_)->data; }
  TYPE RemoveHead() { return Take(Must(head_)); }
  TYPE RemoveTail() { return Take(Must(tail_)); }
  void RemoveAt(POSITION at) { Take(Must(N(at))); }
  void RemoveAll() {
    while (head_) Take(head_);
  }

  POSITION GetHeadPosition() const { return P(head_); }
  POSITION GetTailPosition() const { return P(tail_); }
  TYPE& GetNext(POSITION& at) {
    Node* n = Must(N(at));
    at = P(n->next);
    return n->data;
  }
  TYPE& GetPrev(POSITION& at) {
    Node* n = Must(N(at));
    at = P(n->prev);
    return n->data;
  }
  TYPE& GetAt(POSITION at) { return Must(N(at))->data; }
  void SetAt(POSITION at, ARG_TYPE value) { Must(N(at))->data = value; }

  // After `after` (from the head when null); null when not found.
  POSITION Find(ARG_TYPE value, POSITION after = nullptr) const {
    for (Node* n = after ? N(after)->next : head_; n; n = n->next) {
      if (n->data == value) return P(n);
    }
    return nullptr;
  }
  POSITION FindIndex(INT_PTR index) const {
    if (index < 0) return nullptr;
    Node* n = head_;
    while (n && index-- > 0) n = n->next;
    return P(n);
  }

 private:
  static Node* N(POSITION p) { return reinterpret_cast<Node*>(p); }
  static POSITION P(Node* n) { return reinterpret_cast<POSITION>(n); }
  static Node* Must(Node* n) {
    if (!n) AfxThrowInvalidArgException();
    return n;
  }
  POSITION Insert(Node* prev, Node* next, ARG_TYPE value) {
    Node* n = new Node{prev, next, value};
    (prev ? prev->next : head_) = n;
    (next ? next->prev : tail_) = n;
    ++count_;
    return P(n);
  }
  TYPE Take(Node* n) {
    (n->prev ? n->prev->next : head_) = n->next;
    (n->next ? n->next->prev : tail_) = n->prev;
    --count_;
    TYPE data = std::move(n->data);
    delete n;
    return data;
  }

  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  INT_PTR count_ = 0;
};

namespace qv::afx {

template <class K>
struct KeyHash {
  size_t operator()(const K& k) const { return std::hash<K>()(k); }
};
template <>
struct KeyHash<CString> {
  size_t operator()(const CString& k) const { return std::hash<std::wstring>()(k.str()); }
};

}  // namespace qv::afx

template <class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap : public CObject {
  struct Node {
    Node* prev;
    Node* next;
    KEY key;
    VALUE value;
  };

 public:
  CMap() = default;
  ~CMap() override { RemoveAll(); }

  INT_PTR GetCount() const { return static_cast<INT_PTR>(index_.size()); }
  INT_PTR GetSize() const { return GetCount(); }
  BOOL IsEmpty() const { return index_.empty(); }

  BOOL Lookup(ARG_KEY key, VALUE& out) const {
    auto it = index_.find(KEY(key));
    if (it == index_.end()) return FALSE;
    out = it->second->value;
    return TRUE;
  }
  VALUE& operator[](ARG_KEY key) {
    Node*& n = index_[KEY(key)];
    if (!n) {
      n = new Node{tail_, nullptr, KEY(key), VALUE()};
      (tail_ ? tail_->next : head_) = n;
      tail_ = n;
    }
    return n->value;
  }
  void SetAt(ARG_KEY key, ARG_VALUE value) { (*this)[key] = value; }
  BOOL RemoveKey(ARG_KEY key) {
    auto it = index_.find(KEY(key));
    if (it == index_.end()) return FALSE;
    Node* n = it->second;
    index_.erase(it);
    (n->prev ? n->prev->next : head_) = n->next;
    (n->next ? n->next->prev : tail_) = n->prev;
    delete n;
    return TRUE;
  }
  void RemoveAll() {
    for (Node* n = head_; n;) {
      Node* next = n->next;
      delete n;
      n = next;
    }
    head_ = tail_ = nullptr;
    index_.clear();
  }

  POSITION GetStartPosition() const { return reinterpret_cast<POSITION>(head_); }
  void GetNextAssoc(POSITION& at, KEY& key, VALUE& value) const {
    Node* n = reinterpret_cast<Node*>(at);
    if (!n) AfxThrowInvalidArgException();
    key = n->key;
    value = n->value;
    at = reinterpret_cast<POSITION>(n->next);
  }

 private:
  std::unordered_map<KEY, Node*, qv::afx::KeyHash<KEY>> index_;
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
};

typedef CArray<CString, const CString&> CStringArray;
typedef CArray<void*, void*> CPtrArray;
typedef CArray<DWORD, DWORD> CDWordArray;
typedef CArray<UINT, UINT> CUIntArray;
typedef CArray<WORD, WORD> CWordArray;
typedef CArray<BYTE, BYTE> CByteArray;
typedef CList<void*, void*> CPtrList;
typedef CList<CString, const CString&> CStringList;
typedef CMap<CString, LPCTSTR, void*, void*> CMapStringToPtr;
typedef CMap<CString, LPCTSTR, CString, LPCTSTR> CMapStringToString;
typedef CMap<void*, void*, void*, void*> CMapPtrToPtr;
typedef CMap<WORD, WORD, void*, void*> CMapWordToPtr;
