// The input as a split job holds it in memory: the PdfImage, its
// cross-reference table, what reading it found, the page list and the
// analysed bookmarks. The job owns one Document and releases it on every
// way out.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/block.h"
#include "base/object_map.h"
#include "base/warnings.h"
#include "pdfread/reader_record.h"
#include "pdfread/xref_table.h"

namespace brisel {

// Inherit mask bits: the attributes a page takes from an ancestor.
enum InheritBit : int32_t { kInheritResources = 1, kInheritMediaBox = 2, kInheritCropBox = 4, kInheritRotate = 8 };
// The keys of the bits, in bit order.
inline constexpr const char* kInheritKeys[4] = {"/Resources", "/MediaBox", "/CropBox", "/Rotate"};

// One page in document order. holders[i] is the object number of the
// page-tree node that carries the attribute of bit (1 << i); it has meaning
// only when that bit is set in mask.
struct PageEntry {
    int32_t number = 0;
    int32_t generation = 0;
    int32_t mask = 0;
    int32_t holders[4] = {0, 0, 0, 0};
    // Found by scanning the file rather than by the walk of its tree.
    bool scanned = false;
};
using PageList = std::vector<PageEntry>;

// One bookmark of the input, with positions into the image.
struct OutlineRecord {
    int32_t titleLength = 0;
    int64_t titlePosition = -1;  // the "(" or "<" opening the title; -1 none
    int32_t depth = 0;
    int32_t pageIndex = -1;
    int32_t viewLength = 0;
    int64_t viewPosition = -1;
    int32_t count = 0;
    int32_t colourLength = 0;
    int64_t colourPosition = -1;
    int32_t flags = 0;
};
using OutlineTable = std::vector<OutlineRecord>;

// The records that lead to each page, built once per job so that a page
// file finds its bookmarks without scanning the whole table: the records of
// page p are records[first[p]] to records[first[p + 1] - 1], in table order.
struct OutlinePageIndex {
    std::vector<int32_t> first;
    std::vector<int32_t> records;
    // The record each record sits under (0: the /Outlines dictionary).
    std::vector<int32_t> parent;
};

// A named destination of the input and the page it leads to.
struct NamedDestOfPage {
    int32_t page = -1;    // index into the page list
    bool isName = false;  // a key of the catalog's /Dests (a name), else of the /Names /Dests tree (a string)
    int64_t key = 0;      // the key in the image: its "(" or "<", or the byte after "/"
    int32_t keyLength = 0;  // with the string's delimiters
    int64_t view = 0;
    int32_t viewLength = 0;
    std::string order;  // the key's bytes, decoded: name trees are sorted by them
};

// Catalog entries whose values page files carry.
enum CatalogKey : int {
    kAcroForm,
    kStructTreeRoot,
    kLang,
    kMarkInfo,
    kViewerPreferences,
    kMetadata,
    kOutputIntents,
    kPageLabels,
    kCatalogKeyCount
};

// Form entries that page files carry as they are, and their keys.
enum FormKey : int { kFormResources, kFormAppearance, kFormQuadding, kFormNeedAppearances, kFormSigFlags, kFormKeyCount };
inline constexpr const char* kFormKeyNames[kFormKeyCount] = {"/DR", "/DA", "/Q", "/NeedAppearances", "/SigFlags"};

// The form's field tree, read once per document, so that a page file finds
// the ancestors of its widgets and cuts their /Kids without reading the
// /Kids of fields that spread over many pages.
struct FieldTree {
    // Each field under another: its parent, and its place in the parent's
    // /Kids; the top-level fields that name no parent.
    ObjectMap parent, place, top;
    // A field whose /Kids is an array written inside it: the index of the
    // array's [ "[", after "]" ) offsets in kidsArrays.
    ObjectMap kids;
    std::vector<std::pair<int64_t, int64_t>> kidsArrays;
};

// The document-level data the analysis finds for the page files.
struct DocumentData {
    // Offsets of the catalog values, by CatalogKey; -1 when absent.
    int64_t catalog[kCatalogKeyCount] = {-1, -1, -1, -1, -1, -1, -1, -1};
    // Whether the catalog's /AcroForm is a dictionary; the offsets of its
    // values by FormKey (-1 when absent).
    bool hasForm = false;
    int64_t form[kFormKeyCount] = {-1, -1, -1, -1, -1};
    // The form's top-level fields: object number to position in /Fields;
    // and the fields of its calculation order to their place in /CO.
    ObjectMap fieldOrder, calculationOrder;
    FieldTree fieldTree;
    // The page label ranges, sorted by first page index: (first page index,
    // offset of the label dictionary or of the reference to it).
    std::vector<std::pair<int32_t, int64_t>> pageLabels;
};

// One element of the input's structure tree. Elements are numbered in the
// order a walk from the tree's root meets them (each parent before its
// children, siblings in their order), so that sorting indexes gives the
// tree's order.
struct StructElement {
    int32_t number = 0, generation = 0;
    int32_t parent = -1;    // the parent element's index; -1 under the root
    int32_t position = 0;   // its place among the kids of its parent's /K
    int32_t page = 0;       // object number of its /Pg; 0 none
    // Offsets of its "<<" and ">>", and of its /K key and the byte after its
    // value (-1: none): a file rewrites /K without reading it again, which
    // for an element above thousands of others would cost each file the
    // whole list.
    int64_t dict = 0, dictEnd = 0;
    int64_t kidsKey = -1, kidsEnd = -1;
    int32_t id = -1;  // its entry of StructureIndex::ids, or -1
};

// A kid of an element that is content rather than an element: marked
// content (an MCID, or a marked-content reference) or a reference to an
// object (an annotation, a form).
struct StructContent {
    enum Kind : uint8_t { kMcid, kMarked, kObject };
    int32_t element = 0;   // the element whose kid it is
    int32_t position = 0;  // its place among that element's kids
    int32_t page = 0;      // object number of its page; 0 unknown
    int32_t target = 0;    // the form (/Stm) or object (/Obj) it refers to; 0 none
    Kind kind = kMcid;
    int64_t at = 0, end = 0;  // its text in the image: the digits, or the dictionary
};

// The structure tree, indexed once per job: a page file finds the elements of
// its pages through the parent tree and their ancestors through the parent
// indexes, without walking the tree.
struct StructureIndex {
    bool present = false;  // a root dictionary that leads to elements
    int32_t rootNumber = 0, rootGeneration = 0;  // 0: a direct dictionary
    int64_t root = -1;  // offset of the root's "<<"
    std::vector<StructElement> elements;
    ObjectMap elementOf;  // object number to element index
    // The content of the elements by page, so that a file reads only what
    // lies on its pages: sorted by page, element and position; the first
    // entry of each page, and of each element's content of unknown page.
    std::vector<StructContent> content;
    ObjectMap contentOfPage, contentOfElement;
    // The parent tree flattened: key to the index of its value's offset.
    ObjectMap parentKeys;
    std::vector<int64_t> parentValues;
    // The IDTree's keys in tree order: offset and length of each string.
    std::vector<std::pair<int64_t, int32_t>> ids;
    int32_t nextKey = 0;  // the input's /ParentTreeNextKey
    // Offsets of the root's /RoleMap, /ClassMap and /Namespaces values; -1 absent.
    int64_t roleMap = -1, classMap = -1, namespaces = -1;
};

struct Document {
    Block image;
    XrefTable table;
    ReaderRecord reader;
    PageList pages;
    // The object numbers of every page and page-tree node: a page file holds
    // its own page and none of these.
    ObjectMap treeObjects;
    // The damage reading and writing survived, each with its place: kids
    // of the page tree that the file does not hold (the pages under them
    // are lost), objects page files were written without.
    WarningList warnings;
    // The root's /Count, or 0: how many pages the file meant to have.
    int32_t declaredPages = 0;
    int32_t lostTreeNodes() const { return warnings.Count(WarningKind::LostTreeNode); }
    // Whether the tree showed damage (kids lost or unreadable, fewer pages
    // than /Count); the pages then found by scanning the file's objects,
    // which follow the tree's own in the page list.
    bool treeDamaged = false;
    int32_t scannedPages = 0;
    // Offset of the value of the catalog's /OCProperties, or -1: page files
    // carry it, so that layers the input hides stay hidden.
    int64_t ocProperties = -1;
    OutlineTable outlines;
    OutlinePageIndex outlinePages;
    DocumentData data;
    // The named destinations by page (docstruct/named_dest_pages.h); filled
    // only for files of several pages, which carry the names into them.
    std::vector<NamedDestOfPage> namedDestPages;
    // Filled once per job when page files keep the document data
    // (docstruct/struct_tree.h).
    StructureIndex structure;
    // Resource dictionaries that several pages use (pagewriter/
    // shared_resources.h): by object number, and by the negated number of a
    // page-tree node whose own /Resources dictionary its pages inherit.
    ObjectMap sharedResources;
    bool resourcesShared = false;
    // Some form, pattern or Type 3 font shares resources with another:
    // every page's content is read to prune them, also where the page's
    // own dictionary is its alone.
    bool drawnResourcesShared = false;

    Cursor start() const { return image.data(); }
    Cursor end() const { return image.data() + image.size(); }
};

}  // namespace brisel
