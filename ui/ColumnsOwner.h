// A list whose columns the Columns dialog edits: it lends the dialog its
// column store and builds its columns and rows again after the dialog's OK.
#pragma once

class ColumnStore;

class ColumnsOwner {
public:
    virtual ~ColumnsOwner() = default;
    virtual ColumnStore& columnStore() = 0;
    virtual void rebuildColumns() = 0;
};
