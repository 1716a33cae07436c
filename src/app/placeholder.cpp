namespace orv {}
