int myko_core_anchor = 0;
